// Control-initialisation data: record parsing, damaged data, tag extraction.
#include <gtest/gtest.h>

#include <string>

#include "framework/DlgInit.h"

namespace {
// Builds data in the resource's layout.
struct Builder {
    std::string bytes;
    Builder& Word(unsigned value) {
        bytes.push_back(static_cast<char>(value & 0xFF));
        bytes.push_back(static_cast<char>((value >> 8) & 0xFF));
        return *this;
    }
    Builder& Text(const std::string& utf8) {
        bytes += utf8;
        return *this;
    }
};
}  // namespace

TEST(DlgInitParse, RecordsInOrderWithUtf8TextDecoded) {
    Builder b;
    b.Word(1010).Word(0x0363).Text("<MfcLinkTooltip>\xE7\x82\xB9\xE5\x87\xBB</MfcLinkTooltip>").Word(0);
    b.Word(1011).Word(0x0401).Text("abc").Word(0);  // odd length: the record ends unaligned
    b.Word(7).Word(1).Text("").Word(0);             // empty text
    b.Word(0);
    auto records = ParseDlgInit(b.bytes.data(), b.bytes.size());
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[0].controlId, 1010);
    EXPECT_EQ(records[0].message, 0x0363);
    EXPECT_EQ(records[0].text, L"<MfcLinkTooltip>\u70B9\u51FB</MfcLinkTooltip>");
    EXPECT_EQ(records[1].controlId, 1011);
    EXPECT_EQ(records[1].message, 0x0401);
    EXPECT_EQ(records[1].text, L"abc");
    EXPECT_EQ(records[2].controlId, 7);
    EXPECT_EQ(records[2].text, L"");
}

TEST(DlgInitParse, StopsAtTheZeroIdAndIgnoresWhatFollows) {
    Builder b;
    b.Word(5).Word(1).Text("x").Word(0).Word(0).Word(6).Word(1).Text("y").Word(0);
    auto records = ParseDlgInit(b.bytes.data(), b.bytes.size());
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].text, L"x");
}

TEST(DlgInitParse, DamagedDataKeepsOnlyCompleteRecords) {
    Builder good;
    good.Word(5).Word(1).Text("ok").Word(0);

    // Text without any zero after it.
    Builder noZero = good;
    noZero.Word(6).Word(1).Text("runs off the end");
    EXPECT_EQ(ParseDlgInit(noZero.bytes.data(), noZero.bytes.size()).size(), 1u);

    // Text followed by one zero byte only (the closing 16-bit zero is cut short).
    Builder halfZero = good;
    halfZero.Word(6).Word(1).Text("cut");
    halfZero.bytes.push_back('\0');
    EXPECT_EQ(ParseDlgInit(halfZero.bytes.data(), halfZero.bytes.size()).size(), 1u);

    // A header cut in the middle, and a lone trailing byte.
    Builder cutHeader = good;
    cutHeader.Word(6).bytes.push_back('\1');
    EXPECT_EQ(ParseDlgInit(cutHeader.bytes.data(), cutHeader.bytes.size()).size(), 1u);

    // No terminator at all is fine: the data simply ends.
    EXPECT_EQ(ParseDlgInit(good.bytes.data(), good.bytes.size()).size(), 1u);
    EXPECT_TRUE(ParseDlgInit(nullptr, 10).empty());
    EXPECT_TRUE(ParseDlgInit(good.bytes.data(), 0).empty());
    EXPECT_TRUE(ParseDlgInit(good.bytes.data(), 1).empty());
}

TEST(DlgInitTags, ExtractsValuesAndReportsMissingPairs) {
    std::wstring text = L"<MfcLinkUrl>www.velmora.example</MfcLinkUrl><MfcLinkUrlPrefix>http://</MfcLinkUrlPrefix>"
                        L"<MfcLinkTooltip></MfcLinkTooltip>";
    std::wstring value = L"unchanged";
    EXPECT_TRUE(ExtractTaggedValue(text, L"MfcLinkUrl", &value));
    EXPECT_EQ(value, L"www.velmora.example");
    // A tag that is the prefix of another name does not match it.
    EXPECT_TRUE(ExtractTaggedValue(text, L"MfcLinkUrlPrefix", &value));
    EXPECT_EQ(value, L"http://");
    EXPECT_TRUE(ExtractTaggedValue(text, L"MfcLinkTooltip", &value));
    EXPECT_EQ(value, L"");

    value = L"unchanged";
    EXPECT_FALSE(ExtractTaggedValue(text, L"MfcLinkFullTextTooltip", &value));
    EXPECT_FALSE(ExtractTaggedValue(L"<A>open only", L"A", &value));
    EXPECT_EQ(value, L"unchanged");
}
