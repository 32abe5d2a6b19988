// The start-up checks: runtimes in the registry (set in the test prefix for each case),
// the user's answers, the download pages, and the installation folder.
#include <gtest/gtest.h>

#include <algorithm>
#include <cwctype>

#include "support/Registry.h"
#include "support/TestSupport.h"
#include "app/Checks.h"
#include "app/Directories.h"
#include "app/Globals.h"
#include "component/RuntimeComponent.h"
#include "framework/Codepage.h"

namespace {

const wchar_t kNetQuestion[] =
    L"电脑上可能缺少.Net Framework4.0 运行环境，请进入微软官网下载安装.Net Framework4.0或以上版本后再尝试运行本软件！\n是否继续？";
const wchar_t kVcQuestion[] =
    L"本机Windows操作系统缺少微软 VC++2015运行库，软件可能无法正确加载，建议安装后再打开软件！\n是否继续？";
const wchar_t kCheckTitle[] = L"运行环境检测提示";
const wchar_t kClabMissing[] = L"缺少clab库文件，请使用软件安装包修复软件！";
const wchar_t kDesktopWarning[] = L"软件不可直接安装在电脑桌面！\n请卸载后重新安装！";
const wchar_t kMissingFileWarning[] = L"缺少运行文件！\n请正确安装软件后再打开软件。";
const wchar_t kUserShellFolders[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";

std::wstring BinFolder() { return ProgramDirectory(); }

// g_strAppDir and the runtime state for one test, put back afterwards.
class ScopedStartupState {
public:
    explicit ScopedStartupState(const std::wstring& appDir) : m_appDir(g_strAppDir) {
        g_strAppDir = appDir.c_str();
        g_bNetFx4Installed = 7;  // values no check writes: shows whether a probe ran
        g_bVcRuntimeInstalled = 7;
        g_bRuntimeLoaded = false;
        g_strUiFontFace.Empty();
    }
    ~ScopedStartupState() {
        g_runtime.Unload();
        g_bRuntimeLoaded = false;
        g_strAppDir = m_appDir;
    }

private:
    CString m_appDir;
};

class RuntimeCheck : public ::testing::Test {
protected:
    TempDir appDir{L"checks"};  // empty: a load attempt shows the clab message
    RecordingMessageBoxes boxes;
    RecordingWebPages pages;
};

TEST_F(RuntimeCheck, BothRuntimesPresentAsksNothingAndLoadsTheComponent) {
    for (const VerifiedFile& file : kVerifiedFiles) {
        if (file.role != FileRole::Component) continue;
        ASSERT_TRUE(CopyFileW((BinFolder() + L"\\" + file.name).c_str(), appDir.file(file.name).c_str(), FALSE));
    }
    ScopedRuntimes runtimes(true, L"14.0.24215");
    ScopedStartupState state(appDir.path());
    EXPECT_TRUE(CheckRuntimeEnvironment());
    EXPECT_TRUE(boxes.boxes.empty());
    EXPECT_TRUE(pages.pages.empty());
    EXPECT_EQ(1, g_bNetFx4Installed);
    EXPECT_EQ(1, g_bVcRuntimeInstalled);
    EXPECT_TRUE(g_bRuntimeLoaded);
    EXPECT_TRUE(g_runtime.IsLoaded());
    EXPECT_FALSE(g_strUiFontFace.IsEmpty()) << "the UI font face was not read";
}

TEST_F(RuntimeCheck, MissingNetFrameworkAnsweredYesGoesOnWithoutTheComponent) {
    ScopedRuntimes runtimes(false, L"");
    ScopedStartupState state(appDir.path());
    boxes.Answer(IDYES);
    boxes.Answer(IDYES);
    EXPECT_TRUE(CheckRuntimeEnvironment());
    ASSERT_EQ(2u, boxes.boxes.size()) << "the VC++ probe still runs";
    EXPECT_EQ(kNetQuestion, boxes.boxes[0].text);
    EXPECT_EQ(kCheckTitle, boxes.boxes[0].title);
    EXPECT_EQ(nullptr, boxes.boxes[0].owner);
    EXPECT_EQ(kVcQuestion, boxes.boxes[1].text);
    EXPECT_EQ(kCheckTitle, boxes.boxes[1].title);
    EXPECT_EQ(0, g_bNetFx4Installed);
    EXPECT_EQ(0, g_bVcRuntimeInstalled);
    EXPECT_FALSE(g_bRuntimeLoaded);
    EXPECT_TRUE(pages.pages.empty());
    EXPECT_FALSE(g_strUiFontFace.IsEmpty());
}

TEST_F(RuntimeCheck, MissingNetFrameworkAnsweredNoOpensItsPageAndStopsBeforeTheVcProbe) {
    ScopedRuntimes runtimes(false, L"14.0.24215");
    ScopedStartupState state(appDir.path());
    boxes.Answer(IDNO);
    EXPECT_FALSE(CheckRuntimeEnvironment());
    ASSERT_EQ(1u, boxes.boxes.size());
    EXPECT_EQ(kNetQuestion, boxes.boxes[0].text);
    ASSERT_EQ(1u, pages.pages.size());
    EXPECT_EQ(kNetFx4DownloadPage.Str(), pages.pages[0]);
    EXPECT_NE(std::wstring::npos, pages.pages[0].find(L"/zh-cn/download/confirmation.aspx?id=22833"));
    EXPECT_EQ(7, g_bVcRuntimeInstalled) << "the VC++ probe ran";
    EXPECT_FALSE(g_bRuntimeLoaded);
    EXPECT_TRUE(g_strUiFontFace.IsEmpty());
}

TEST_F(RuntimeCheck, AnyAnswerButNoGoesOn) {
    ScopedRuntimes runtimes(false, L"14.0.24215");
    ScopedStartupState state(appDir.path());
    boxes.Answer(IDCANCEL);
    EXPECT_TRUE(CheckRuntimeEnvironment());
    EXPECT_EQ(1u, boxes.boxes.size());
    EXPECT_TRUE(pages.pages.empty());
    EXPECT_EQ(1, g_bVcRuntimeInstalled);
}

TEST_F(RuntimeCheck, MissingVcRuntimeAnsweredNoOpensItsPageWithoutLoading) {
    ScopedRuntimes runtimes(true, L"");
    ScopedStartupState state(appDir.path());
    boxes.Answer(IDNO);
    EXPECT_FALSE(CheckRuntimeEnvironment());
    ASSERT_EQ(1u, boxes.boxes.size()) << "no load attempt (it would show the clab message)";
    EXPECT_EQ(kVcQuestion, boxes.boxes[0].text);
    ASSERT_EQ(1u, pages.pages.size());
    EXPECT_EQ(kVcRedistDownloadPage.Str(), pages.pages[0]);
    EXPECT_NE(std::wstring::npos, pages.pages[0].find(L"/vs/17/release/vc_redist.x86.exe"));
    EXPECT_EQ(1, g_bNetFx4Installed);
    EXPECT_EQ(0, g_bVcRuntimeInstalled);
}

TEST_F(RuntimeCheck, OldVcRuntimeAnsweredYesStillLoadsTheComponent) {
    ScopedRuntimes runtimes(true, L"14.0.23025");
    ScopedStartupState state(appDir.path());
    boxes.Answer(IDYES);
    EXPECT_TRUE(CheckRuntimeEnvironment());
    ASSERT_EQ(2u, boxes.boxes.size());
    EXPECT_EQ(kVcQuestion, boxes.boxes[0].text);
    // The load was attempted in the empty launcher folder and reported its own failure.
    EXPECT_EQ(kClabMissing, boxes.boxes[1].text);
    EXPECT_FALSE(g_bRuntimeLoaded);
    EXPECT_TRUE(pages.pages.empty());
}

// Points the current user's desktop at `folder` for the scope (Wine resolves the
// desktop through this value).
ScopedRegistryValue DesktopAt(const std::wstring& folder) {
    return ScopedRegistryValue(HKEY_CURRENT_USER, kUserShellFolders, L"Desktop", REG_EXPAND_SZ, folder.c_str(),
                               static_cast<DWORD>((folder.size() + 1) * sizeof(wchar_t)));
}

// The package and the component's files, each a byte.
void WriteRuntimeFiles(const std::wstring& dir) {
    for (const VerifiedFile& file : kVerifiedFiles) {
        if (!file.IsDataFile()) continue;
        ASSERT_TRUE(WriteBytes(dir + L"\\" + file.name, "x"));
    }
}

class InstallationCheck : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(desktopSetting.ok());
        ASSERT_EQ(CString(desktop.path().c_str()), GetDesktopDirectory())
            << "the desktop could not be redirected in this prefix";
    }
    TempDir desktop{L"desk"};
    ScopedRegistryValue desktopSetting = DesktopAt(desktop.path());
    RecordingMessageBoxes boxes;
};

TEST_F(InstallationCheck, TheDesktopItselfIsRefusedFirst) {
    WriteRuntimeFiles(desktop.path());
    ScopedStartupState state(desktop.path());
    EXPECT_FALSE(CheckInstallation());
    ASSERT_EQ(1u, boxes.boxes.size());
    EXPECT_EQ(kDesktopWarning, boxes.boxes[0].text);
    EXPECT_EQ(L"初始化提示", boxes.boxes[0].title);
    EXPECT_EQ(nullptr, boxes.boxes[0].owner);
}

TEST_F(InstallationCheck, ASubFolderOrADifferentLetterCasePasses) {
    const std::wstring sub = desktop.file(L"Velmora");
    ASSERT_TRUE(CreateDirectoryW(sub.c_str(), nullptr));
    WriteRuntimeFiles(sub);
    {
        ScopedStartupState state(sub);
        EXPECT_TRUE(CheckInstallation());
    }
    WriteRuntimeFiles(desktop.path());
    std::wstring upper = desktop.path();
    std::transform(upper.begin(), upper.end(), upper.begin(), [](wchar_t ch) { return std::towupper(ch); });
    ASSERT_NE(desktop.path(), upper);
    {
        ScopedStartupState state(upper);
        EXPECT_TRUE(CheckInstallation());
    }
    EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(InstallationCheck, EachMissingRuntimeFileIsRefused) {
    TempDir install(L"inst");
    for (const VerifiedFile& file : kVerifiedFiles) {
        if (!file.IsDataFile()) continue;
        SCOPED_TRACE(ToUtf8(file.name));
        WriteRuntimeFiles(install.path());
        ASSERT_TRUE(DeleteFileW(install.file(file.name).c_str()));
        boxes.boxes.clear();
        ScopedStartupState state(install.path());
        EXPECT_FALSE(CheckInstallation());
        ASSERT_EQ(1u, boxes.boxes.size());
        EXPECT_EQ(kMissingFileWarning, boxes.boxes[0].text);
        EXPECT_EQ(L"初始化提示", boxes.boxes[0].title);
    }
    WriteRuntimeFiles(install.path());
    ScopedStartupState state(install.path());
    boxes.boxes.clear();
    EXPECT_TRUE(CheckInstallation());
    EXPECT_TRUE(boxes.boxes.empty());
}

TEST(DesktopDirectory, IsEmptyWhenTheShellCannotResolveItAndTheCheckIsSkipped) {
    TempDir parent(L"gone");
    const std::wstring missing = parent.file(L"no-such-desktop");
    ScopedRegistryValue setting = DesktopAt(missing);
    ASSERT_TRUE(setting.ok());
    const CString desktop = GetDesktopDirectory();
    if (!desktop.IsEmpty()) GTEST_SKIP() << "the shell answered " << desktop.GetLength() << " characters anyway";
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(missing.c_str())) << "the lookup created the folder";

    RecordingMessageBoxes boxes;
    WriteRuntimeFiles(parent.path());
    ScopedStartupState state(parent.path());
    EXPECT_TRUE(CheckInstallation());
    EXPECT_TRUE(boxes.boxes.empty());
}

}  // namespace
