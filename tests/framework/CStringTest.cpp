#include <gtest/gtest.h>

#include "framework/CString.h"

TEST(CString, FormatTakesWideStringsAndGrowsPastTheFirstBuffer) {
    CString s;
    s.Format(L"%ls-%d", L"运行库加载失败，错误码：", 193);
    EXPECT_EQ(s, L"运行库加载失败，错误码：-193");
    CString longer;
    longer.Format(L"%ls", std::wstring(1000, L'x').c_str());
    EXPECT_EQ(longer.GetLength(), 1000);
}

TEST(CString, ReplaceFindTrimAndCase) {
    CString s(L"  abcabc \t");
    EXPECT_EQ(s.Trim(), L"abcabc");
    EXPECT_EQ(s.Replace(L"bc", L"X"), 2);
    EXPECT_EQ(s, L"aXaX");
    EXPECT_EQ(s.Find(L'X', 2), 3);
    EXPECT_EQ(s.Find(L"zz"), -1);
    EXPECT_EQ(CString(L"abc").MakeUpper(), L"ABC");
    EXPECT_EQ(CString(L"SEVRA.EXE").CompareNoCase(L"Sevra.exe"), 0);
    EXPECT_EQ(CString(L"abcdef").Mid(2, 3), L"cde");
    EXPECT_EQ(CString(L"abcdef").Right(2), L"ef");
}
