// The online-service link of the real launcher, clicked with real mouse input in the
// visible splash window, starting the Sevra.exe stand-in.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "BuildSettings.h"
#include "Driver.h"
#include "support/Installation.h"
#include "support/TestSupport.h"
#include "app/Globals.h"
#include "framework/Codepage.h"
#include "framework/OleDateTime.h"

namespace {

const int kServiceLinkId = 1012;
const DWORD kTimeoutMs = 20000;


std::wstring CommandOf(const std::wstring& logLine) {
    size_t cmd = logLine.find(L" cmd=");
    return cmd == std::wstring::npos ? std::wstring() : logLine.substr(cmd + 5);
}

// Ends every Sevra.exe stand-in started from `folder` and waits until none runs.
void StopServiceWindows(const std::wstring& folder) {
    WriteBytes(folder + L"\\sevra.stop", "");
    WaitUntil([] { return ProcessesNamed(L"Sevra.exe").empty(); }, 10000);
    DeleteFileW((folder + L"\\sevra.stop").c_str());
}

// A launcher installed in `<root>\Service Test` (a folder with a space) whose splash window
// stays on the screen: without the .NET Framework the component is not loaded, so the
// start sequence stops with its reason in the status line and the dialog waits for the user.
class ServiceLink : public ::testing::Test {
protected:
    ScopedRuntimes runtimes{false};
    TempDir root{L"svc"};
    std::wstring install = root.path() + L"\\Service Test";
    DrivenProcess launcher;
    HWND dialog = nullptr;

    void SetUp() override {
        ASSERT_TRUE(ProcessesNamed(L"Sevra.exe").empty()) << "a service window is left from elsewhere";
        ASSERT_TRUE(MakeInstallation(install)) << "mkinstall failed";
        ASSERT_TRUE(launcher.Start(install + L"\\Velmora.exe"));
        // The .NET question (go on: yes), then the component warning (OK).
        std::optional<SeenBox> question = launcher.WaitForBox(kTimeoutMs);
        ASSERT_TRUE(question.has_value());
        ASSERT_EQ(question->title, L"运行环境检测提示");
        PressBoxButton(question->hwnd, IDYES);
        std::optional<SeenBox> warning = launcher.WaitForBox(kTimeoutMs);
        ASSERT_TRUE(warning.has_value());
        PressBoxButton(warning->hwnd, IDOK);
        ASSERT_TRUE(WaitUntil(
            [&] {
                dialog = FindDialogWindow(L"Velmora", launcher.pid());
                return dialog && IsWindowVisible(dialog) && FindMessageBoxes().empty();
            },
            kTimeoutMs))
            << "the splash window did not stay on the screen";
    }
    void TearDown() override {
        StopServiceWindows(install);
        launcher.Kill();
    }

    std::vector<std::wstring> ServiceRuns(DWORD waitMs) {
        std::vector<std::wstring> lines;
        WaitUntil([&] { return !(lines = ReadUtf8Lines(install + L"\\sevra.log")).empty(); }, waitMs);
        return lines;
    }
    // Clicks the link and returns the box the launcher answers with, if any.
    std::optional<SeenBox> ClickLink(DWORD boxWaitMs) {
        EXPECT_TRUE(ClickControl(dialog, kServiceLinkId));
        std::optional<SeenBox> box = launcher.WaitForBox(boxWaitMs);
        if (box) {
            EXPECT_EQ(box->pid, launcher.pid());
            PressBoxButton(box->hwnd, IDOK);
            WaitUntil([&] { return !IsWindow(box->hwnd); }, 5000);
        }
        return box;
    }
};

}  // namespace

TEST_F(ServiceLink, StartsTheServiceWindowOnceWithItsUnquotedCommandLine) {
    // Were the program not named to the system, the unquoted path "...\Service Test\Sevra.exe"
    // would first be tried as "...\Service.exe": plant a program there.
    ASSERT_TRUE(CopyFileW((BinDir() + L"\\qorupd.exe").c_str(), (root.path() + L"\\Service.exe").c_str(), FALSE));

    const COleDateTime today = COleDateTime::GetCurrentTime();
    EXPECT_FALSE(ClickLink(1500).has_value()) << "no box on a successful start";
    std::vector<std::wstring> runs = ServiceRuns(kTimeoutMs);
    ASSERT_EQ(runs.size(), 1u);

    const std::wstring token = L"_IBP_" + FromUtf8(VELMORA_FILE_VERSION_STR).Str() + L"_" +
                               today.Format(L"%Y-%m-%d").Str() + L"_LoadPage";
    const std::wstring expected = install + L"\\Sevra.exe " + g_strServerAddress.Str() + L" 6629 " + token + L" Velmora";
    EXPECT_EQ(CommandOf(runs[0]), expected);
    EXPECT_FALSE(Exists(root.path() + L"\\qorupd.log")) << "the planted ...\\Service.exe ran";

    // While it runs, a second click only warns.
    std::optional<SeenBox> duplicate = ClickLink(kTimeoutMs);
    ASSERT_TRUE(duplicate.has_value());
    EXPECT_EQ(duplicate->title, L"重复打开在线客服窗口提示");
    EXPECT_EQ(duplicate->text, L"会话窗口已打开，请不要重复打开！");
    EXPECT_EQ(ServiceRuns(0).size(), 1u);
    EXPECT_EQ(ProcessesNamed(L"Sevra.exe").size(), 1u);
    EXPECT_EQ(WaitForSingleObject(launcher.handle(), 0), static_cast<DWORD>(WAIT_TIMEOUT)) << "the launcher goes on";

    // Once it has ended, the link starts it again.
    StopServiceWindows(install);
    EXPECT_FALSE(ClickLink(1500).has_value());
    EXPECT_EQ(ServiceRuns(kTimeoutMs).size(), 2u);
}

TEST_F(ServiceLink, AServiceWindowFromAnotherFolderBlocksTheStart) {
    TempDir elsewhere(L"other sevra");
    ASSERT_TRUE(CopyFileW((BinDir() + L"\\Sevra.exe").c_str(), elsewhere.file(L"SEVRA.EXE").c_str(), FALSE));
    DrivenProcess other;
    ASSERT_TRUE(other.Start(elsewhere.file(L"SEVRA.EXE")));
    ASSERT_TRUE(WaitUntil([] { return !ProcessesNamed(L"sevra.exe").empty(); }, kTimeoutMs));

    std::optional<SeenBox> duplicate = ClickLink(kTimeoutMs);
    ASSERT_TRUE(duplicate.has_value());
    EXPECT_EQ(duplicate->text, L"会话窗口已打开，请不要重复打开！");
    EXPECT_TRUE(ServiceRuns(1000).empty());

    StopServiceWindows(elsewhere.path());
    other.WaitForExit(5000);
}

TEST_F(ServiceLink, AMissingServiceProgramIsReportedAndTheLauncherStays) {
    ASSERT_TRUE(DeleteFileW((install + L"\\Sevra.exe").c_str()));
    std::optional<SeenBox> failure = ClickLink(kTimeoutMs);
    ASSERT_TRUE(failure.has_value());
    EXPECT_EQ(failure->title, L"软件加载提示");
    EXPECT_EQ(failure->text, L"加载失败！\n请尝试重启软件！");
    EXPECT_TRUE(IsWindowVisible(dialog));
    EXPECT_EQ(WaitForSingleObject(launcher.handle(), 0), static_cast<DWORD>(WAIT_TIMEOUT));
}
