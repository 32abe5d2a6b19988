// The real launcher under Wine, from an installation built by mkinstall: the main
// program's start, its exit codes, re-extraction, damaged data files and failed starts.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "Driver.h"
#include "support/Installation.h"
#include "support/TestSupport.h"
#include "app/Globals.h"
#include "framework/Codepage.h"
#include "framework/Handles.h"
#include "supervisor/MainCommandLine.h"
#include "ui/resource.h"

namespace {

const wchar_t kLoadTitle[] = L"软件加载提示";


std::wstring ControlText(HWND dialog, int id) {
    wchar_t text[512] = {};
    GetDlgItemTextW(dialog, id, text, 512);
    return text;
}

bool ProcessGone(DWORD pid, DWORD timeoutMs) {
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, pid);
    if (!process) return true;
    bool gone = WaitForSingleObject(process, timeoutMs) == WAIT_OBJECT_0;
    CloseHandle(process);
    return gone;
}

// A fresh installation in a folder whose name has spaces, with the runtimes present.
class LaunchE2E : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(MakeInstallation(m_dir.path(), m_program)) << "mkinstall failed";
        m_original = ReadBytes(BinDir() + L"\\Kestrun.exe");
    }

    std::wstring File(const wchar_t* name) const { return m_dir.file(name); }
    std::vector<std::wstring> Runs() const { return ReadUtf8Lines(File(L"kestrun.log")); }
    std::wstring ExpectedCommandLine() const {
        return BuildMainCommandLine(File(L"Kestrun.exe").c_str(), m_dir.path().c_str(), g_strServerAddress,
                                    g_strServerPort)
            .Str();
    }
    bool Start() { return m_launcher.Start(File(L"Velmora.exe")); }
    DWORD MainProgramPid(size_t run) const {
        std::vector<std::wstring> runs = Runs();
        if (run >= runs.size()) return 0;
        size_t at = runs[run].find(L" pid=");
        return at == std::wstring::npos ? 0 : static_cast<DWORD>(_wtol(runs[run].c_str() + at + 5));
    }

    ScopedRuntimes m_runtimes;
    TempDir m_dir{L"launch e2e"};
    std::wstring m_program;  // the stand-in unless a test says otherwise
    std::string m_original;
    DrivenProcess m_launcher;
};

TEST_F(LaunchE2E, NormalRunStartsTheProgramOnceAndPutsItsFileBack) {
    ScopedCrashDebuggerOff noDebugger;
    ASSERT_TRUE(WriteBytes(File(L"kestrun.hold"), ""));
    ASSERT_TRUE(Start());
    ASSERT_TRUE(WaitUntil([&] { return Runs().size() == 1; }, 20000)) << "the main program did not start";
    // While the main program runs, the file carries its runnable name.
    EXPECT_TRUE(Exists(File(L"Kestrun.exe")));
    EXPECT_FALSE(Exists(File(L"kstcache")));
    ASSERT_TRUE(DeleteFileW(File(L"kestrun.hold").c_str()));

    std::vector<SeenBox> boxes = m_launcher.AnswerUntilExit({}, 20000);
    EXPECT_TRUE(boxes.empty()) << (boxes.empty() ? "" : ToUtf8(boxes[0].text.c_str()));
    DWORD exitCode = 1;
    ASSERT_TRUE(m_launcher.WaitForExit(5000, &exitCode));
    EXPECT_EQ(0u, exitCode) << std::hex << exitCode;
    // The stand-in component is built in the platform compiler's ABI and notes how its
    // object ends: destroyed once through its deleting destructor, memory freed, and only
    // then the library freed.
    EXPECT_EQ((std::vector<std::wstring>{L"object destroyed", L"object memory freed", L"library freed"}),
              ReadUtf8Lines(File(L"CsBrevinApi.log")));

    std::vector<std::wstring> runs = Runs();
    ASSERT_EQ(1u, runs.size());
    EXPECT_EQ(ExpectedCommandLine(), runs[0].substr(runs[0].find(L" cmd=") + 5));
    EXPECT_NE(std::wstring::npos, runs[0].find(L" exit=0 "));
    EXPECT_TRUE(Exists(File(L"kstcache")));
    EXPECT_FALSE(Exists(File(L"Kestrun.exe")));
    EXPECT_EQ(m_original, ReadBytes(File(L"kstcache")));
}

TEST_F(LaunchE2E, ExitCodeTwoShowsTheArgumentErrorThenRenames) {
    ASSERT_TRUE(WriteBytes(File(L"kestrun.codes"), "2"));
    ASSERT_TRUE(Start());
    auto box = m_launcher.WaitForBox(20000);
    ASSERT_TRUE(box.has_value());
    EXPECT_EQ(L"错误提示", box->title);
    EXPECT_EQ(L"运行参数错误。", box->text);
    EXPECT_TRUE(Exists(File(L"Kestrun.exe")));  // the rename follows the box
    PressBoxButton(box->hwnd, IDOK);
    EXPECT_TRUE(m_launcher.AnswerUntilExit({}, 20000).empty());
    ASSERT_TRUE(m_launcher.WaitForExit(5000));
    EXPECT_TRUE(Exists(File(L"kstcache")));
    EXPECT_FALSE(Exists(File(L"Kestrun.exe")));
}

TEST_F(LaunchE2E, ExitCodeFourStartsExactlyOneNewLauncherThatCopiesBeingRefusedDoNotStop) {
    ASSERT_TRUE(WriteBytes(File(L"kestrun.codes"), "4 0"));
    ASSERT_TRUE(WriteBytes(File(L"kestrun.hold"), ""));
    ASSERT_TRUE(Start());
    ASSERT_TRUE(WaitUntil([&] { return Runs().size() == 1; }, 20000));
    const DWORD firstProgram = MainProgramPid(0);

    // While the program runs, a second copy is refused and leaves its box up, and a third
    // has the guard open without owning it, as a copy has between opening the guard and
    // being refused. Neither may keep the restarted launcher from running.
    DrivenProcess second;
    auto refused = StartRefusedCopy(second, File(L"Velmora.exe"));
    ASSERT_TRUE(refused.has_value());
    m_launcher.IgnoreBox(refused->hwnd);
    UniqueHandle opening(OpenMutexW(SYNCHRONIZE, FALSE, L"DEZ_App_Mutex"));
    ASSERT_TRUE(opening);

    ASSERT_TRUE(DeleteFileW(File(L"kestrun.hold").c_str()));
    ASSERT_TRUE(ProcessGone(firstProgram, 10000));
    // The old launcher pauses a second before it restarts: hold the new run.
    ASSERT_TRUE(WriteBytes(File(L"kestrun.hold"), ""));
    std::vector<SeenBox> boxes = m_launcher.AnswerUntilExit({}, 20000);
    ASSERT_TRUE(m_launcher.WaitForExit(5000));
    EXPECT_TRUE(boxes.empty()) << (boxes.empty() ? std::string() : ToUtf8(boxes[0].text.c_str()));
    // The file kept its program name for the new launcher.
    EXPECT_TRUE(Exists(File(L"Kestrun.exe")));
    EXPECT_FALSE(Exists(File(L"kstcache")));

    ASSERT_TRUE(WaitUntil([&] { return Runs().size() == 2; }, 20000)) << "no new launcher ran the program";
    std::vector<DWORD> launchers = LauncherProcesses();
    launchers.erase(std::remove(launchers.begin(), launchers.end(), second.pid()), launchers.end());
    EXPECT_EQ(1u, launchers.size());
    std::vector<SeenBox> shown = FindMessageBoxes();
    EXPECT_TRUE(shown.size() == 1 && shown[0].hwnd == refused->hwnd) << "the new launcher was refused or complained";
    ASSERT_TRUE(DeleteFileW(File(L"kestrun.hold").c_str()));
    for (DWORD pid : launchers) {
        if (ProcessGone(pid, 20000)) continue;
        ADD_FAILURE() << "the new launcher did not end";
        HANDLE p = OpenProcess(PROCESS_TERMINATE, FALSE, pid);
        if (p) {
            TerminateProcess(p, 1);
            CloseHandle(p);
        }
    }
    PressBoxButton(refused->hwnd, IDOK);
    EXPECT_TRUE(second.WaitForExit(20000));
    EXPECT_TRUE(FindMessageBoxes().empty());
    EXPECT_EQ(2u, Runs().size());
    EXPECT_TRUE(Exists(File(L"kstcache")));
    EXPECT_FALSE(Exists(File(L"Kestrun.exe")));
}

TEST_F(LaunchE2E, ExitCodeFourWithTheLaunchersFileGoneSaysTheRestartFailed) {
    // An update took the launcher's file away while the program ran.
    ASSERT_TRUE(WriteBytes(File(L"kestrun.codes"), "4"));
    ASSERT_TRUE(WriteBytes(File(L"kestrun.hold"), ""));
    ASSERT_TRUE(Start());
    ASSERT_TRUE(WaitUntil([&] { return Runs().size() == 1; }, 20000));
    ASSERT_TRUE(MoveFileW(File(L"Velmora.exe").c_str(), File(L"Velmora.old").c_str()));
    ASSERT_TRUE(DeleteFileW(File(L"kestrun.hold").c_str()));
    const std::vector<SeenBox> boxes = m_launcher.AnswerUntilExit({}, 30000);
    ASSERT_EQ(1u, boxes.size());
    EXPECT_EQ(kLoadTitle, boxes[0].title);
    EXPECT_EQ(0u, boxes[0].text.find(L"软件重新启动失败，请手动打开软件。\n")) << ToUtf8(boxes[0].text.c_str());
    EXPECT_TRUE(m_launcher.WaitForExit(5000));
    EXPECT_EQ(1u, Runs().size());
}

TEST_F(LaunchE2E, AFolderPathWithNoRoomForTheInstallationsNamesGetsOneClearBox) {
    // About 245 characters: the launcher's own path fits, its component's does not.
    std::wstring deep = m_dir.path();
    while (deep.size() < 230) deep += L"\\nested-folder";
    deep += L"\\" + std::wstring(245 - deep.size() - 1, L'x');
    ASSERT_EQ(245u, deep.size());
    for (size_t at = deep.find(L'\\', m_dir.path().size() + 1); at != std::wstring::npos; at = deep.find(L'\\', at + 1))
        CreateDirectoryW(deep.substr(0, at).c_str(), nullptr);
    ASSERT_TRUE(MakeInstallation(m_dir.path() + L"\\short"));
    ASSERT_TRUE(MoveFileW((m_dir.path() + L"\\short").c_str(), deep.c_str()));
    ASSERT_TRUE(m_launcher.Start(deep + L"\\Velmora.exe"));
    const std::vector<SeenBox> boxes = m_launcher.AnswerUntilExit({}, 30000);
    ASSERT_EQ(1u, boxes.size()) << ToUtf8(boxes.size() > 1 ? boxes[1].text.c_str() : L"");
    EXPECT_EQ(L"初始化提示", boxes[0].title);
    EXPECT_EQ(L"软件安装路径过长，无法找到软件文件！\n请将软件安装到路径较短的文件夹中。", boxes[0].text);
    EXPECT_TRUE(m_launcher.WaitForExit(5000));
    MoveFileW(deep.c_str(), (m_dir.path() + L"\\short").c_str());  // so that it can be removed
}

TEST_F(LaunchE2E, TamperedOrMissingProgramIsExtractedAgainAndStarted) {
    ASSERT_TRUE(WriteBytes(File(L"kstcache"), m_original.substr(0, m_original.size() / 2)));
    ASSERT_TRUE(Start());
    EXPECT_TRUE(m_launcher.AnswerUntilExit({}, 30000).empty());
    ASSERT_TRUE(m_launcher.WaitForExit(5000));
    EXPECT_EQ(1u, Runs().size());
    EXPECT_EQ(m_original, ReadBytes(File(L"kstcache")));

    ASSERT_TRUE(DeleteFileW(File(L"kstcache").c_str()));
    DrivenProcess again;
    ASSERT_TRUE(again.Start(File(L"Velmora.exe")));
    EXPECT_TRUE(again.AnswerUntilExit({}, 30000).empty());
    ASSERT_TRUE(again.WaitForExit(5000));
    EXPECT_EQ(2u, Runs().size());
    EXPECT_EQ(m_original, ReadBytes(File(L"kstcache")));
}

TEST_F(LaunchE2E, DamagedPackageShowsOneBoxThenTheDownloadList) {
    ScopedPageRecorder pages;
    std::string package = ReadBytes(File(L"Kestpak.da"));
    package[package.size() / 2] ^= 0x55;
    ASSERT_TRUE(WriteBytes(File(L"Kestpak.da"), package));
    ASSERT_TRUE(Start());
    auto box = m_launcher.WaitForBox(20000);
    ASSERT_TRUE(box.has_value());
    EXPECT_EQ(kLoadTitle, box->title);
    EXPECT_EQ(0u, box->text.find(L"数据文件错误，请重启软件后再尝试。"));
    EXPECT_TRUE(pages.Pages().empty()) << "the page opens after the box";
    PressBoxButton(box->hwnd, IDOK);

    std::vector<std::wstring> opened = pages.WaitForPages(1, 10000);
    ASSERT_EQ(1u, opened.size());
    EXPECT_NE(std::wstring::npos, opened[0].find(L"/softlist"));
    HWND splash = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return (splash = FindDialogWindow(L"Velmora", m_launcher.pid())) && IsWindowVisible(splash); }, 10000));
    EXPECT_EQ(L"数据文件错误，请下载完整安装包修复。", ControlText(splash, IDC_STATIC_STATUS));
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(splash, IDC_LINK_CONTINUE)));
    EXPECT_FALSE(m_launcher.WaitForBox(500).has_value()) << "exactly one box";
    Sleep(500);
    EXPECT_EQ(1u, pages.Pages().size()) << "the page opens exactly once";
    EXPECT_TRUE(Runs().empty());
}

TEST_F(LaunchE2E, MissingConfigurationEntryIsReported) {
    ASSERT_TRUE(WriteBytes(File(L"AppConf.ini"), "[Files]\r\n;Apdbm5=nothing\r\n"));
    ASSERT_TRUE(Start());
    auto box = m_launcher.WaitForBox(20000);
    ASSERT_TRUE(box.has_value());
    EXPECT_EQ(kLoadTitle, box->title);
    EXPECT_NE(std::wstring::npos, box->text.find(L"加载配置文件失败！"));
    EXPECT_NE(std::wstring::npos, box->text.find(L"AppConf-apdbm5"));
    m_launcher.Kill();
    // A launcher killed leaves nothing behind: its crash handler ends with it.
    EXPECT_TRUE(WaitUntil([] { return ProcessesNamed(L"Velmora.exe").empty(); }, 10000));
}

TEST_F(LaunchE2E, DamagedComponentFileIsReported) {
    std::string lib = ReadBytes(File(L"CsBrevinLab.dll"));
    ASSERT_TRUE(WriteBytes(File(L"CsBrevinLab.dll"), lib + "x"));  // still loads, differs
    ASSERT_TRUE(Start());
    auto box = m_launcher.WaitForBox(20000);
    ASSERT_TRUE(box.has_value());
    EXPECT_EQ(kLoadTitle, box->title);
    EXPECT_EQ(L"运行组件文件错误：CsLab校验失败。", box->text);
    m_launcher.Kill();
}

TEST_F(LaunchE2E, ChildLeftRunningByTheProgramEndsWithTheLauncherWhoeverHoldsTheJobName) {
    // Another program holds a job of the launcher's job name: the launcher's own job must
    // still be the one that ends when the launcher lets go of it.
    UniqueHandle foreign(CreateJobObjectW(nullptr, L"MyJobObject"));
    ASSERT_TRUE(foreign);
    ASSERT_TRUE(WriteBytes(File(L"kestrun.child"), ""));
    ASSERT_TRUE(Start());
    EXPECT_TRUE(m_launcher.AnswerUntilExit({}, 20000).empty());
    ASSERT_TRUE(m_launcher.WaitForExit(5000));
    DWORD child = static_cast<DWORD>(atol(ReadBytes(File(L"kestrun.child.pid")).c_str()));
    ASSERT_NE(0u, child) << "the child did not start";
    EXPECT_TRUE(ProcessGone(child, 3000)) << "the child outlived the launcher's job";
}

TEST_F(LaunchE2E, ProgramUnderItsRunnableNameBesideAStaleCache) {
    ASSERT_TRUE(CopyFileW(File(L"kstcache").c_str(), File(L"Kestrun.exe").c_str(), FALSE));
    ASSERT_TRUE(WriteBytes(File(L"kstcache"), "stale"));
    ASSERT_TRUE(Start());
    EXPECT_TRUE(m_launcher.AnswerUntilExit({}, 20000).empty());
    ASSERT_TRUE(m_launcher.WaitForExit(5000));
    EXPECT_EQ(1u, Runs().size());
    EXPECT_FALSE(Exists(File(L"Kestrun.exe")));
    EXPECT_EQ(m_original, ReadBytes(File(L"kstcache")));
}

TEST_F(LaunchE2E, BetweenRunsNameThatCannotBeReplacedIsReportedAndTheLauncherEnds) {
    ASSERT_TRUE(MoveFileW(File(L"kstcache").c_str(), File(L"Kestrun.exe").c_str()));
    ASSERT_TRUE(CreateDirectoryW(File(L"kstcache").c_str(), nullptr));
    ASSERT_TRUE(Start());
    std::vector<SeenBox> boxes = m_launcher.AnswerUntilExit({}, 20000);
    ASSERT_TRUE(m_launcher.WaitForExit(5000)) << "the launcher must end, not stay hidden";
    ASSERT_EQ(1u, boxes.size());
    EXPECT_EQ(kLoadTitle, boxes[0].title);
    EXPECT_EQ(std::wstring::npos, boxes[0].text.find(m_dir.path()));
    EXPECT_EQ(1u, Runs().size());
    EXPECT_EQ(m_original, ReadBytes(File(L"Kestrun.exe")));
}

TEST_F(LaunchE2E, ARefusedCopyHoldsNoFileOfTheInstallationWhileItsBoxIsUp) {
    ASSERT_TRUE(WriteBytes(File(L"kestrun.hold"), ""));
    ASSERT_TRUE(Start());
    ASSERT_TRUE(WaitUntil([&] { return Runs().size() == 1; }, 20000));
    DrivenProcess second;
    auto refused = StartRefusedCopy(second, File(L"Velmora.exe"));
    ASSERT_TRUE(refused.has_value());
    // Meanwhile another program (an updater, a repair) can rewrite the package.
    UniqueFile writer(CreateFileW(File(L"Kestpak.da").c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, OPEN_EXISTING, 0, nullptr));
    EXPECT_TRUE(writer) << "the package is held (error " << GetLastError() << ")";
    writer.reset();
    PressBoxButton(refused->hwnd, IDOK);
    EXPECT_TRUE(second.WaitForExit(20000));
    ASSERT_TRUE(DeleteFileW(File(L"kestrun.hold").c_str()));
    EXPECT_TRUE(m_launcher.AnswerUntilExit({}, 20000).empty());
    EXPECT_EQ(1u, Runs().size());
}

class UnstartableProgramE2E : public LaunchE2E {
protected:
    void SetUp() override {
        m_notAProgram.reset(new TempDir(L"not a program"));
        m_program = m_notAProgram->file(L"Kestrun.exe");
        ASSERT_TRUE(WriteBytes(m_program, "plain text, not an executable\r\n"));
        LaunchE2E::SetUp();
    }
    std::unique_ptr<TempDir> m_notAProgram;
};

TEST_F(UnstartableProgramE2E, FailureBoxThenTheContinueLinkRunsTheLaunchAgain) {
    ASSERT_TRUE(Start());
    auto box = m_launcher.WaitForBox(20000);
    ASSERT_TRUE(box.has_value());
    EXPECT_EQ(kLoadTitle, box->title);
    EXPECT_EQ(0u, box->text.find(L"加载失败！\n"));
    EXPECT_EQ(std::wstring::npos, box->text.find(m_dir.path()));
    PressBoxButton(box->hwnd, IDOK);

    HWND splash = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return (splash = FindDialogWindow(L"Velmora", m_launcher.pid())) && IsWindowVisible(splash); }, 10000))
        << "the dialog must become visible after a failed launch";
    HWND link = GetDlgItem(splash, IDC_LINK_CONTINUE);
    ASSERT_NE(nullptr, link);
    EXPECT_TRUE(IsWindowVisible(link));
    EXPECT_TRUE(IsWindowEnabled(link));
    EXPECT_TRUE(Exists(File(L"Kestrun.exe")));  // the failed file keeps its program name

    // A real click on the link runs the whole launch again: the same failure again.
    ASSERT_TRUE(ClickControl(splash, IDC_LINK_CONTINUE));
    auto again = m_launcher.WaitForBox(10000);
    ASSERT_TRUE(again.has_value()) << "the click did not launch again";
    EXPECT_EQ(kLoadTitle, again->title);
    EXPECT_EQ(0u, again->text.find(L"加载失败！\n"));
    PressBoxButton(again->hwnd, IDOK);
    EXPECT_TRUE(IsWindowVisible(splash));
    m_launcher.Kill();
}

}  // namespace
