// The narrow-text boundaries (string file, component interface, version parsing) are
// exercised under the users' code page; make sure the harness really provides it.
#include <gtest/gtest.h>
#include <windows.h>

TEST(CodePage, ProcessRunsUnderSimplifiedChineseAnsiCodePage) {
    EXPECT_EQ(936u, GetACP());
    UINT threadCodePage = 0;
    ASSERT_NE(0, GetLocaleInfoW(GetThreadLocale(), LOCALE_IDEFAULTANSICODEPAGE | LOCALE_RETURN_NUMBER,
                                reinterpret_cast<LPWSTR>(&threadCodePage), sizeof threadCodePage / sizeof(wchar_t)));
    EXPECT_EQ(936u, threadCodePage);
}
