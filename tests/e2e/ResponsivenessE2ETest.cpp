// The real launcher under Wine seen from other programs while it works: the close question
// during a long verification, a system-wide broadcast while the main program runs, and a
// normal run watched frame by frame for the splash window.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "Driver.h"
#include "framework/Codepage.h"
#include "framework/Handles.h"
#include "support/Installation.h"
#include "support/TestSupport.h"
#include "ui/resource.h"
#include "util/RunLog.h"

namespace {

// Takes this thread's messages, so that a window of this thread would answer.
void PumpMessages() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
}

// A plain broadcast, as an installer sends after changing PATH: it returns once every
// top-level window of the prefix has answered. Its time in ms.
DWORD TimedBroadcast() {
    const DWORD start = GetTickCount();
    SendMessageW(HWND_BROADCAST, WM_SETTINGCHANGE, 0, reinterpret_cast<LPARAM>(L"Environment"));
    return GetTickCount() - start;
}

// No program holds a file of the folder: each opens for writing with nothing shared.
void ExpectNoFileHeldIn(const std::wstring& folder) {
    for (const std::wstring& name : FolderEntries(folder)) {
        const std::wstring path = folder + L"\\" + name;
        if (GetFileAttributesW(path.c_str()) & FILE_ATTRIBUTE_DIRECTORY) continue;
        UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        EXPECT_TRUE(file) << ToUtf8(name.c_str()) << " is held (error " << GetLastError() << ")";
    }
}

// The close button pressed while the 1 GiB main program is verified, before it runs.
class CloseDuringVerificationE2E : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(nullptr, m_install) << "the 1 GiB installation could not be built";
        ASSERT_TRUE(m_install->Reset());
    }
    void TearDown() override { m_launcher.Kill(); }

    std::vector<std::wstring> Runs() const { return ReadUtf8Lines(m_install->file(L"kestrun.log")); }
    // Starts the launcher, waits until its window shows the verification of `file` under
    // way, clicks the close button and returns the question that follows.
    std::optional<SeenBox> AskToCloseWhileVerifying(const std::wstring& file) {
        if (!m_launcher.Start(m_install->file(L"Velmora.exe"))) return std::nullopt;
        HWND splash = WaitForVisibleStatus(m_launcher.pid(), L"正在校验" + file, 180000);
        if (!splash || !ClickControl(splash, IDC_BTN_CLOSE)) return std::nullopt;
        return m_launcher.WaitForBox(20000);
    }

    LargeInstallation* m_install = LargeInstallation::Get();
    ScopedRuntimes m_runtimes;
    DrivenProcess m_launcher;
};

TEST_F(CloseDuringVerificationE2E, OkEndsTheLauncherWithNothingStartedAndNoFileHeld) {
    // Asked while the extracted program is verified, the last step before its start.
    std::optional<SeenBox> question = AskToCloseWhileVerifying(L"Kestrun.exe");
    ASSERT_TRUE(question.has_value()) << "no question while the program was verified";
    EXPECT_EQ(L"退出软件提示", question->title);
    EXPECT_EQ(L"确定关闭软件吗？", question->text);
    // The user reads on until the verification is over (its run-log line is written): the
    // program must not start behind the question.
    const std::wstring verified = L"[" + std::to_wstring(m_launcher.pid()) + L"] digest Kestrun.exe:";
    EXPECT_TRUE(WaitUntil(
        [&] {
            for (const std::wstring& line : ReadUtf8Lines(RunLogPath().Str()))
                if (line.find(verified) != std::wstring::npos) return true;
            return false;
        },
        180000))
        << "the verification did not end behind the question";
    Sleep(500);
    PressBoxButton(question->hwnd, IDOK);
    std::vector<SeenBox> boxes = m_launcher.AnswerUntilExit({}, 30000);
    EXPECT_TRUE(boxes.empty()) << (boxes.empty() ? "" : ToUtf8(boxes[0].text.c_str()));
    ASSERT_TRUE(m_launcher.WaitForExit(0)) << "the launcher did not end";
    EXPECT_TRUE(Runs().empty());
    ExpectNoFileHeldIn(m_install->path());
}

TEST_F(CloseDuringVerificationE2E, CancelLetsTheLaunchGoOnToExactlyOneRun) {
    std::optional<SeenBox> question = AskToCloseWhileVerifying(L"Kestpak.da");
    ASSERT_TRUE(question.has_value()) << "no question while the package was verified";
    PressBoxButton(question->hwnd, IDCANCEL);
    std::vector<SeenBox> boxes = m_launcher.AnswerUntilExit({}, 180000);
    EXPECT_TRUE(boxes.empty()) << (boxes.empty() ? "" : ToUtf8(boxes[0].text.c_str()));
    DWORD exitCode = 1;
    ASSERT_TRUE(m_launcher.WaitForExit(0, &exitCode)) << "the launcher did not end";
    EXPECT_EQ(0u, exitCode);
    std::vector<std::wstring> runs = Runs();
    ASSERT_EQ(1u, runs.size());
    EXPECT_NE(std::wstring::npos, runs[0].find(L" exit=0 "));
    EXPECT_TRUE(Exists(m_install->file(L"kstcache")));
    EXPECT_FALSE(Exists(m_install->file(L"Kestrun.exe")));
}

// A normal installation of the stand-in main program.
class ResponsivenessE2E : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(MakeInstallation(m_dir.path())) << "mkinstall failed"; }
    void TearDown() override { m_launcher.Kill(); }

    std::wstring File(const wchar_t* name) const { return m_dir.file(name); }
    std::vector<std::wstring> Runs() const { return ReadUtf8Lines(File(L"kestrun.log")); }

    ScopedRuntimes m_runtimes;
    TempDir m_dir{L"responsiveness e2e"};
    DrivenProcess m_launcher;
};

TEST_F(ResponsivenessE2E, ABroadcastWhileTheMainProgramRunsReturnsLongBeforeItEnds) {
    // Every window of the prefix answers a broadcast; without the launcher that takes this
    // long (the first broadcast of a program the longest: up to seconds under qemu).
    const DWORD reference = std::max(TimedBroadcast(), TimedBroadcast());
    ASSERT_TRUE(WriteBytes(File(L"kestrun.hold"), ""));
    ASSERT_TRUE(m_launcher.Start(File(L"Velmora.exe")));
    ASSERT_TRUE(WaitUntil([&] { return Runs().size() == 1; }, 30000)) << "the main program did not start";

    // The main program runs on until the broadcast has returned or the bound has passed.
    std::atomic<bool> returned{false};
    std::thread sender([&] {
        TimedBroadcast();
        returned = true;
    });
    const DWORD bound = 2 * reference + 5000;
    EXPECT_TRUE(WaitUntil(
        [&] {
            PumpMessages();
            return returned.load();
        },
        bound))
        << "the broadcast did not return within " << bound << " ms while the main program ran (reference "
        << reference << " ms)";
    DeleteFileW(File(L"kestrun.hold").c_str());
    if (!WaitUntil([&] { return returned.load(); }, 60000)) m_launcher.Kill();
    sender.join();

    std::vector<SeenBox> boxes = m_launcher.AnswerUntilExit({}, 30000);
    EXPECT_TRUE(boxes.empty()) << (boxes.empty() ? "" : ToUtf8(boxes[0].text.c_str()));
    DWORD exitCode = 1;
    ASSERT_TRUE(m_launcher.WaitForExit(0, &exitCode));
    EXPECT_EQ(0u, exitCode);
    EXPECT_EQ(1u, Runs().size());
}

TEST_F(ResponsivenessE2E, ANormalRunNeverShowsTheSplashWindowNotEvenForAFrame) {
    // A hook in the launcher's window thread notes every window it shows, however briefly;
    // in between, the window is also looked at directly.
    ShowWatch watch;
    ASSERT_TRUE(m_launcher.Start(File(L"Velmora.exe"), L"", L"", nullptr, &watch));
    HWND splash = nullptr;
    bool seenVisible = false;
    const DWORD started = GetTickCount();
    while (WaitForSingleObject(m_launcher.handle(), 10) == WAIT_TIMEOUT && GetTickCount() - started < 60000) {
        if (HWND found = FindDialogWindow(L"Velmora", m_launcher.pid())) {
            splash = found;
            seenVisible = seenVisible || IsWindowVisible(found);
        }
    }
    ASSERT_TRUE(m_launcher.WaitForExit(0)) << "the launcher did not end";
    EXPECT_EQ(1u, Runs().size());
    ASSERT_NE(nullptr, splash) << "the splash window was never found";
    const std::vector<HWND> initialised = watch.InitialisedDialogs();
    ASSERT_NE(initialised.end(), std::find(initialised.begin(), initialised.end(), splash))
        << "the splash window was not made in the watched thread";
    EXPECT_FALSE(seenVisible);
    const std::vector<HWND> shown = watch.Shown();
    EXPECT_EQ(shown.end(), std::find(shown.begin(), shown.end(), splash));
}

}  // namespace
