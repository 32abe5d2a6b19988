#include "supervisor/ErrorText.h"

#include <cwctype>
#include <string>

#include "util/InstallationNames.h"
#include "framework/Handles.h"

namespace {

// Replaces every insert sequence "%1" ... "%99", with an optional "!format!" after it,
// by `insert`. The system's texts are read with inserts ignored, so they arrive raw.
CString FillInserts(const std::wstring& text, const wchar_t* insert) {
    std::wstring out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == L'%' && i + 1 < text.size() && text[i + 1] >= L'1' && text[i + 1] <= L'9') {
            size_t end = i + 2;
            if (end < text.size() && iswdigit(text[end])) ++end;
            if (end < text.size() && text[end] == L'!') {
                const size_t close = text.find(L'!', end + 1);
                if (close != std::wstring::npos) end = close + 1;
            }
            out += insert;
            i = end - 1;
        } else {
            out += text[i];
        }
    }
    return CString(out);
}

}  // namespace

CString SystemErrorText(DWORD error, const wchar_t* insert) {
    LPWSTR buffer = nullptr;
    DWORD length = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS |
                                      FORMAT_MESSAGE_FROM_SYSTEM,
                                  nullptr, error, LANG_USER_DEFAULT, reinterpret_cast<LPWSTR>(&buffer), 0,
                                  nullptr);
    UniqueLocalMem owner(buffer);
    if (length == 0 || !buffer) return CString();
    const std::wstring text(buffer, length);
    return insert ? FillInserts(text, insert) : CString(text);
}

CString HidePathsInErrorText(const CString& text, const CString& appDir) {
    if ((!kMainProgramFile.IsEmpty() && text.Find(kMainProgramFile) >= 0) ||
        (!appDir.IsEmpty() && text.Find(appDir) >= 0)) {
        return L"原因：文件或路径错误。";
    }
    return text;
}
