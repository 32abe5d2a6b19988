#include "util/DigestCodec.h"

namespace {

struct DigitPair {
    wchar_t digit;   // what the digest holds
    wchar_t stored;  // what AppConf.ini holds in its place
};

// None of the stored letters is a decimal digit or one of A-F/a-f, so replacing them
// one pair after another gives the same result in any order.
constexpr DigitPair kDigestTable[16] = {
    {L'0', L'K'}, {L'1', L'q'}, {L'2', L'W'}, {L'3', L'z'}, {L'4', L'G'}, {L'5', L't'},
    {L'6', L'P'}, {L'7', L'h'}, {L'8', L'X'}, {L'9', L'm'}, {L'A', L'R'}, {L'B', L'v'},
    {L'C', L'J'}, {L'D', L's'}, {L'E', L'N'}, {L'F', L'y'},
};

}  // namespace

CString EncodeDigestText(const CString& digest) {
    std::wstring text = digest.Str();
    for (wchar_t& ch : text) {
        const wchar_t upper = (ch >= L'a' && ch <= L'f') ? static_cast<wchar_t>(ch - L'a' + L'A') : ch;
        for (const DigitPair& pair : kDigestTable) {
            if (pair.digit == upper) {
                ch = pair.stored;
                break;
            }
        }
    }
    return CString(std::move(text));
}

CString DecodeDigestText(const CString& stored) {
    CString text(stored);
    for (const DigitPair& pair : kDigestTable) text.Replace(pair.stored, pair.digit);
    return text;
}
