// The narrow-text boundaries (string file, component interface, version parsing) are
// exercised under the users' code page; make sure the harness really provides it, and that
// text for the component is converted exactly or not at all.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

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

namespace {
struct Conversion {
    UINT codePage;
    DWORD flags;
    bool usedDefaultAsked;
};
std::vector<Conversion> g_conversions;

// WideCharToMultiByte held to Windows's documented contract, which Wine does not enforce:
// UTF-8 and GB18030 take no flag but WC_ERR_INVALID_CHARS and no default-character
// arguments.
int WINAPI StrictWideCharToMultiByte(UINT codePage, DWORD flags, LPCWCH text, int length, LPSTR out, int outSize,
                                     LPCCH defaultChar, LPBOOL usedDefault) {
    g_conversions.push_back({codePage, flags, usedDefault != nullptr});
    if (codePage == CP_UTF8 || codePage == 54936) {
        if (flags & ~static_cast<DWORD>(WC_ERR_INVALID_CHARS)) {
            SetLastError(ERROR_INVALID_FLAGS);
            return 0;
        }
        if (defaultChar || usedDefault) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return 0;
        }
    }
    return WideCharToMultiByte(codePage, flags, text, length, out, outSize, defaultChar, usedDefault);
}
}  // namespace

TEST(CodePage, ExactConversionAsksEachCodePageOnlyWhatItsContractAllows) {
    const wchar_t* path = L"C:\\\xC124\xCE58 Zo\x00EB \xD83D\xDE42\\软件";
    std::string out;
    for (UINT codePage : {static_cast<UINT>(CP_UTF8), 54936u}) {
        SCOPED_TRACE(codePage);
        g_conversions.clear();
        const bool converted = WideToNarrowExact(path, out, codePage, &StrictWideCharToMultiByte);
        ASSERT_FALSE(g_conversions.empty());
        for (const Conversion& c : g_conversions) {
            EXPECT_EQ(codePage, c.codePage);
            EXPECT_EQ(static_cast<DWORD>(WC_ERR_INVALID_CHARS), c.flags);
            EXPECT_FALSE(c.usedDefaultAsked);
        }
        // Wine 8 has no GB18030 tables: there only the question asked can be checked.
        if (!IsValidCodePage(codePage)) continue;
        EXPECT_TRUE(converted);
        EXPECT_EQ(NarrowToWide(out.data(), static_cast<int>(out.size()), codePage), CString(path));
        if (codePage == CP_UTF8) {
            EXPECT_EQ("C:\\\xEC\x84\xA4\xEC\xB9\x98 Zo\xC3\xAB \xF0\x9F\x99\x82\\\xE8\xBD\xAF\xE4\xBB\xB6", out);
        }
        // An unpaired surrogate is the one thing these code pages cannot carry.
        out = "stale";
        EXPECT_FALSE(WideToNarrowExact(L"a\xD800z", out, codePage, &StrictWideCharToMultiByte));
        EXPECT_TRUE(out.empty());
    }
    // Elsewhere best fit is refused and the default character asked for, as before; the
    // thread's code page arrives resolved.
    if (GetACP() != 936) GTEST_SKIP() << "needs code page 936, this process has " << GetACP();
    g_conversions.clear();
    EXPECT_FALSE(WideToNarrowExact(L"Velmora\x00B2", out, CP_THREAD_ACP, &StrictWideCharToMultiByte));
    ASSERT_FALSE(g_conversions.empty());
    EXPECT_EQ(936u, g_conversions[0].codePage);
    EXPECT_EQ(static_cast<DWORD>(WC_NO_BEST_FIT_CHARS), g_conversions[0].flags);
    EXPECT_TRUE(g_conversions[0].usedDefaultAsked);
}
