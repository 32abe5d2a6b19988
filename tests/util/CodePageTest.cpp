// The narrow-text boundaries (string file, component interface, version parsing) are
// exercised under the users' code page; make sure the harness really provides it, and that
// text for the component is converted exactly or not at all.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "framework/Codepage.h"

TEST(CodePage, ProcessRunsUnderSimplifiedChineseAnsiCodePage) {
    EXPECT_EQ(936u, GetACP());
    UINT threadCodePage = 0;
    ASSERT_NE(0, GetLocaleInfoW(GetThreadLocale(), LOCALE_IDEFAULTANSICODEPAGE | LOCALE_RETURN_NUMBER,
                                reinterpret_cast<LPWSTR>(&threadCodePage), sizeof threadCodePage / sizeof(wchar_t)));
    EXPECT_EQ(936u, threadCodePage);
}

TEST(CodePage, ExactConversionRefusesLookAlikesAndTheDefaultCharacter) {
    if (GetACP() != 936) GTEST_SKIP() << "needs code page 936, this process has " << GetACP();
    std::string out = "stale";
    EXPECT_TRUE(WideToNarrowExact(L"C:\\软件\\\x00E9 1", out));
    EXPECT_EQ(WideToNarrow(L"C:\\软件\\\x00E9 1"), out);
    EXPECT_TRUE(WideToNarrowExact(L"", out));
    EXPECT_TRUE(out.empty());
    // Best fit would make "Velmora2" and "a" of the first two: names of other folders.
    for (const wchar_t* text : {L"Velmora\x00B2", L"\x00E2", L"Zo\x00EB", L"\xC124\xCE58", L"\xD83D\xDE42"}) {
        out = "stale";
        EXPECT_FALSE(WideToNarrowExact(text, out)) << WideToNarrow(text, CP_UTF8);
        EXPECT_TRUE(out.empty());
    }
}
