#include <gtest/gtest.h>

#include "TestSupport.h"
#include "app/Directories.h"
#include "app/Globals.h"
#include "framework/WinApp.h"

namespace {
// A bare application object for tests of what start-up reads from it.
class TestApp : public CWinApp {};
}  // namespace

TEST(LauncherDirectory, IsTheFolderOfTheExecutableWithoutTrailingBackslash) {
    TestApp app;
    app.m_hInstance = GetModuleHandleW(nullptr);
    CString dir = GetLauncherDirectory();
    EXPECT_EQ(dir, CString(ProgramDirectory().c_str()));
    EXPECT_NE(dir.Right(1), L"\\");
}

TEST(LauncherDirectory, FallsBackToTheCurrentDirectoryWhenTheModuleNameCannotBeRead) {
    TestApp app;
    // No module is loaded at this address, so its file name cannot be read.
    app.m_hInstance = reinterpret_cast<HINSTANCE>(static_cast<INT_PTR>(0x10));
    TempDir dir(L"cwd");
    wchar_t previous[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, previous);
    ASSERT_TRUE(SetCurrentDirectoryW(dir.path().c_str()));
    CString got = GetLauncherDirectory();
    SetCurrentDirectoryW(previous);
    EXPECT_EQ(got, CString(dir.path().c_str()));
}

TEST(ApplicationObject, RegistersForRestartOnlyWhenAskedTo) {
    TestApp plain;
    plain.InitInstance();
    EXPECT_FALSE(plain.IsRegisteredForRestart());
    TestApp restartable;
    restartable.m_dwRestartManagerSupportFlags = AFX_RESTART_MANAGER_SUPPORT_RESTART;
    restartable.InitInstance();
    EXPECT_TRUE(restartable.IsRegisteredForRestart());
}

TEST(SharedConstants, WebsitePagesGetASingleSlash) {
    EXPECT_NE(g_strWebsiteUrl.Right(1), L"/");
    CString page = g_strWebsiteUrl + L"/softlist";
    EXPECT_EQ(page.Find(L"//softlist"), -1);
    EXPECT_EQ(page.Find(L"http://"), 0);
}

TEST(SharedConstants, UiFontFaceComesFromTheDefaultGuiFont) {
    CString saved = g_strUiFontFace;
    g_strUiFontFace = L"placeholder";
    UpdateUiFontFace();
    LOGFONTW lf = {};
    ASSERT_NE(GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof lf, &lf), 0);
    EXPECT_EQ(g_strUiFontFace, CString(lf.lfFaceName));
    g_strUiFontFace = saved;
}
