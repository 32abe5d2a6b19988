// The configuration reader: how lines become entries, and what is and is not a key.
#include <gtest/gtest.h>

#include "framework/Handles.h"
#include "support/TestSupport.h"
#include "supervisor/ConfigReader.h"
#include "util/DigestCodec.h"

namespace {

class ConfigReaderTest : public ::testing::Test {
protected:
    // Writes the bytes as the configuration and reads `key`; the value starts as "unset".
    bool Read(const std::string& bytes, const wchar_t* key, std::wstring& value) {
        EXPECT_TRUE(WriteBytes(m_dir.file(L"AppConf.ini"), bytes));
        CString v = L"unset";
        bool found = CConfigReader(m_dir.file(L"AppConf.ini").c_str()).GetValue(key, v);
        value = v.GetString();
        return found;
    }
    TempDir m_dir{L"config"};
};

TEST_F(ConfigReaderTest, KeysMatchWithoutAsciiCaseAndCommentsAreSkipped) {
    std::wstring value;
    EXPECT_TRUE(Read("[Data]\r\nAPDBM5=abc\r\n", L"Apdbm5", value));
    EXPECT_EQ(L"abc", value);
    EXPECT_FALSE(Read(";Apdbm5=abc\n", L"Apdbm5", value));
    EXPECT_EQ(L"unset", value);
    EXPECT_FALSE(Read("  ; Apdbm5=abc\n", L"Apdbm5", value));
    // Only A-Z fold: a non-ASCII letter must match exactly.
    EXPECT_FALSE(Read("Apdbm\xC9=x\n", L"Apdbm\x00E9", value));
}

TEST_F(ConfigReaderTest, SpacesAndTabsAroundKeyAndValueAreTrimmed) {
    std::wstring value;
    EXPECT_TRUE(Read(" \tApexm5 \t=\t  v a l  \t\r\n", L"Apexm5", value));
    EXPECT_EQ(L"v a l", value);
    // A value keeps further "=" signs.
    EXPECT_TRUE(Read("Apexm5 = a=b=\n", L"Apexm5", value));
    EXPECT_EQ(L"a=b=", value);
    // U+0085 and U+00A0 (single bytes here) trim too.
    EXPECT_TRUE(Read("\xA0" "Apexm5=x\x85\n", L"Apexm5", value));
    EXPECT_EQ(L"x", value);
}

TEST_F(ConfigReaderTest, EmptyValueCountsAsFound) {
    std::wstring value;
    EXPECT_TRUE(Read("Apexm5=\nApexm5=later\n", L"Apexm5", value));
    EXPECT_EQ(L"", value);
    EXPECT_TRUE(Read("Apexm5 =   \t\n", L"Apexm5", value));
    EXPECT_EQ(L"", value);
}

TEST_F(ConfigReaderTest, FirstEntryWinsWhateverSection) {
    std::wstring value;
    EXPECT_TRUE(Read("[A]\nother=1\n[B]\nApexm5=first\n[A]\nApexm5=second\n", L"Apexm5", value));
    EXPECT_EQ(L"first", value);
}

TEST_F(ConfigReaderTest, ByteOrderMarkAtTheStartIsSkipped) {
    // As Notepad saves UTF-8: read like the same file without the mark.
    std::wstring value;
    EXPECT_TRUE(Read("\xEF\xBB\xBF" "Apdbm5=abc\r\n", L"Apdbm5", value));
    EXPECT_EQ(L"abc", value);
    EXPECT_FALSE(Read("\xEF\xBB\xBF" "Apdbm5=abc\n", L"\x00EF\x00BB\x00BF" L"Apdbm5", value));
    // Only at the very start: elsewhere the bytes are characters like any other.
    EXPECT_FALSE(Read("a=1\n\xEF\xBB\xBF" "Apdbm5=abc\n", L"Apdbm5", value));
}

TEST_F(ConfigReaderTest, LinesWithoutEqualsAreSkipped) {
    std::wstring value;
    EXPECT_FALSE(Read("Apexm5\n[Apexm5]\n", L"Apexm5", value));
    EXPECT_TRUE(Read("Apexm5\nApexm5=x\n", L"Apexm5", value));
    EXPECT_EQ(L"x", value);
}

TEST_F(ConfigReaderTest, ByteSubEndsTheFile) {
    std::wstring value;
    EXPECT_FALSE(Read("a=1\n\x1A" "Apexm5=x\n", L"Apexm5", value));
    EXPECT_TRUE(Read("Apexm5=x\x1Ay\n", L"Apexm5", value));
    EXPECT_EQ(L"x", value);
}

TEST_F(ConfigReaderTest, CrLfAndLfBothEndLines) {
    std::wstring value;
    EXPECT_TRUE(Read("a=1\r\nApexm5=x\r\nApdbm5=y", L"Apdbm5", value));
    EXPECT_EQ(L"y", value);
    EXPECT_TRUE(Read("a=1\r\nApexm5=x\r\n", L"Apexm5", value));
    EXPECT_EQ(L"x", value);
}

TEST_F(ConfigReaderTest, HighBytesBecomeLatin1Characters) {
    std::wstring value;
    std::string bytes = "Apexm5=";
    for (int b = 0x80; b <= 0xFF; ++b) {
        if (b == 0x85 || b == 0xA0) continue;  // trimmed at the ends; kept inside below
        bytes += static_cast<char>(b);
    }
    bytes += "\x85\xA0z\n";
    ASSERT_TRUE(Read(bytes, L"Apexm5", value));
    std::wstring expected;
    for (int b = 0x80; b <= 0xFF; ++b) {
        if (b == 0x85 || b == 0xA0) continue;
        expected += static_cast<wchar_t>(b);
    }
    expected += L"\x0085\x00A0z";
    EXPECT_EQ(expected, value);
}

TEST_F(ConfigReaderTest, OverlongLinesHoldNoEntryAndNeedNoMemory) {
    // A line of 250 MB (zero bytes, written as a hole) before the keys: more than a 32-bit
    // process could hold as text.
    const std::wstring path = m_dir.file(L"AppConf.ini");
    {
        UniqueFile file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                    nullptr));
        ASSERT_TRUE(file);
        LARGE_INTEGER at;
        at.QuadPart = 250ll * 1024 * 1024;
        ASSERT_TRUE(SetFilePointerEx(file.get(), at, nullptr, FILE_BEGIN));
        const std::string tail = "\nApexm5=x\nApdbm5=" + std::string(5000, 'y') + "\n";
        DWORD written = 0;
        ASSERT_TRUE(WriteFile(file.get(), tail.data(), static_cast<DWORD>(tail.size()), &written, nullptr));
    }
    CString value = L"unset";
    EXPECT_TRUE(CConfigReader(path.c_str()).GetValue(L"Apexm5", value));
    EXPECT_EQ(CString(L"x"), value);
    EXPECT_FALSE(CConfigReader(path.c_str()).GetValue(L"Apdbm5", value)) << "an entry on an overlong line";
    EXPECT_EQ(CString(L"x"), value);
}

TEST_F(ConfigReaderTest, MissingOrLockedFileIsNotFound) {
    CString value = L"unset";
    EXPECT_FALSE(CConfigReader(m_dir.file(L"none.ini").c_str()).GetValue(L"Apexm5", value));
    ASSERT_TRUE(WriteBytes(m_dir.file(L"AppConf.ini"), "Apexm5=x\n"));
    // Another holder of the file keeps it from being read: the reader allows no sharing.
    HANDLE other = CreateFileW(m_dir.file(L"AppConf.ini").c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                               nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, other);
    EXPECT_FALSE(CConfigReader(m_dir.file(L"AppConf.ini").c_str()).GetValue(L"Apexm5", value));
    CloseHandle(other);
    EXPECT_EQ(L"unset", value);
    EXPECT_TRUE(CConfigReader(m_dir.file(L"AppConf.ini").c_str()).GetValue(L"Apexm5", value));
    EXPECT_EQ(L"x", value);
}

// The stored digest written by the installation builder reads back to the digest.
TEST_F(ConfigReaderTest, StoredDigestReadsBackThroughTheDecoder) {
    const CString digest = L"0123456789ABCDEF0123456789ABCDEF";
    const CString encoded = EncodeDigestText(digest);
    std::string stored;
    for (wchar_t ch : encoded.Str()) stored += static_cast<char>(ch);
    std::wstring value;
    ASSERT_TRUE(Read("[Files]\nApexm5 = " + stored + "\n", L"apexm5", value));
    EXPECT_EQ(digest.Str(), DecodeDigestText(value.c_str()).Str());
}

}  // namespace
