// COleDateTime: the day count, its calendar fields and the formatting the service token uses.
#include <gtest/gtest.h>

#include "framework/OleDateTime.h"

TEST(OleDateTime, ZeroDateIsValidAndFallsOnThirtiethDecember1899) {
    COleDateTime zero;
    EXPECT_EQ(zero.GetStatus(), COleDateTime::valid);
    EXPECT_EQ(zero.GetValue(), 0.0);
    EXPECT_EQ(zero.Format(L"%Y-%m-%d"), L"1899-12-30");
}

TEST(OleDateTime, KnownDayCounts) {
    EXPECT_EQ(COleDateTime(2024, 5, 7).GetValue(), 45419.0);
    EXPECT_EQ(COleDateTime(1900, 3, 1).GetValue(), 61.0);
    EXPECT_EQ(COleDateTime(1899, 12, 29, 6, 0, 0).GetValue(), -1.25);
    EXPECT_EQ(COleDateTime(-1.25).Format(L"%Y-%m-%d %H:%M:%S"), L"1899-12-29 06:00:00");
    EXPECT_EQ(COleDateTime(45419.5).Format(L"%Y-%m-%d %H:%M"), L"2024-05-07 12:00");
    EXPECT_EQ(COleDateTime(2024, 2, 29).Format(L"%d.%m.%y %j %a %B %%"), L"29.02.24 060 Thu February %");
    EXPECT_EQ(COleDateTime(100, 1, 1).Format(L"%Y-%m-%d"), L"0100-01-01");
    EXPECT_EQ(COleDateTime(9999, 12, 31, 23, 59, 59).Format(L"%Y-%m-%d %H:%M:%S"), L"9999-12-31 23:59:59");
}

TEST(OleDateTime, OutOfRangeValuesAreInvalidAndFormatToNothing) {
    EXPECT_EQ(COleDateTime(2023, 2, 29).GetStatus(), COleDateTime::invalid);
    EXPECT_EQ(COleDateTime(2024, 13, 1).GetStatus(), COleDateTime::invalid);
    EXPECT_EQ(COleDateTime(99, 12, 31).GetStatus(), COleDateTime::invalid);
    EXPECT_EQ(COleDateTime(3e6).GetStatus(), COleDateTime::invalid);
    EXPECT_EQ(COleDateTime(3e6).Format(L"%Y"), L"");
    COleDateTime d(2024, 5, 7);
    d.SetStatus(COleDateTime::null);
    EXPECT_EQ(d.Format(L"%Y-%m-%d"), L"");
    EXPECT_EQ(d.GetYear(), -1);
}

TEST(OleDateTime, CurrentTimeIsTodaysLocalDate) {
    SYSTEMTIME st = {};
    GetLocalTime(&st);
    COleDateTime now = COleDateTime::GetCurrentTime();
    EXPECT_EQ(now.GetYear(), st.wYear);
    EXPECT_EQ(now.GetMonth(), st.wMonth);
    EXPECT_EQ(now.GetDay(), st.wDay);
    EXPECT_EQ(now.GetDayOfWeek(), st.wDayOfWeek + 1);
}
