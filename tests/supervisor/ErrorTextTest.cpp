// System error texts as shown to the user: no path of the installation may get through.
#include <gtest/gtest.h>

#include "supervisor/ErrorText.h"

namespace {

TEST(ErrorText, TextsNamingTheProgramOrTheFolderAreReplacedWhole) {
    const CString dir = L"C:\\Apps\\Velmora";
    const CString neutral = L"原因：文件或路径错误。";
    EXPECT_EQ(neutral, HidePathsInErrorText(L"找不到 Kestrun.exe。", dir));
    EXPECT_EQ(neutral, HidePathsInErrorText(L"C:\\Apps\\Velmora\\x: access denied", dir));
    // The search is case-sensitive: other spellings are left as they are.
    EXPECT_EQ(CString(L"kestrun.exe missing"), HidePathsInErrorText(L"kestrun.exe missing", dir));
    EXPECT_EQ(CString(L"c:\\apps\\velmora"), HidePathsInErrorText(L"c:\\apps\\velmora", dir));
    EXPECT_EQ(CString(L"拒绝访问。"), HidePathsInErrorText(L"拒绝访问。", dir));
    EXPECT_EQ(CString(), HidePathsInErrorText(L"", dir));
}

TEST(ErrorText, SystemTextIsEmptyWhenTheSystemHasNone) {
    EXPECT_FALSE(SystemErrorText(ERROR_ACCESS_DENIED).IsEmpty());
    EXPECT_TRUE(SystemErrorText(0x2000FFFF).IsEmpty());
}

TEST(ErrorText, APlaceForAFileNameGetsTheNameGiven) {
    EXPECT_EQ(SystemErrorText(ERROR_ACCESS_DENIED), SystemErrorText(ERROR_ACCESS_DENIED, L"qorupd.exe"))
        << "a text without a place stays as it is";
    const CString raw = SystemErrorText(ERROR_BAD_EXE_FORMAT);
    if (raw.Find(L"%1") < 0) GTEST_SKIP() << "this system's text has no place for a file name";
    const CString filled = SystemErrorText(ERROR_BAD_EXE_FORMAT, L"qorupd.exe");
    EXPECT_EQ(-1, filled.Find(L"%1"));
    EXPECT_NE(-1, filled.Find(L"qorupd.exe"));
}

}  // namespace
