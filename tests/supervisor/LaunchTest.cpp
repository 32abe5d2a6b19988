// The launch without a window: the start sequence, verification, extraction, the main
// program's run in its job and the action on its exit code, driven through its events as
// the dialog would. The real stand-in main program runs from a temporary installation
// folder, the component is a fake that copies the stand-in, the window is a recorder that
// carries the launch's posted events on the test's thread, and boxes and pages are recorded.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/Globals.h"
#include "framework/Codepage.h"
#include "support/LaunchSupport.h"
#include "support/TestSupport.h"
#include "supervisor/Launch.h"
#include "supervisor/MainCommandLine.h"
#include "util/VerifiedFiles.h"
#include "util/DigestCodec.h"
#include "util/FileDigest.h"

namespace {

// Stands in for the component: "extracts" by copying a given file, or fails with a given
// error text.
class FakeComponent : public IPackageExtractor {
public:
    bool ExtractFile(const CString& packagePath, const CString& password, const CString& infoTable,
                     const CString& dataTable, const CString& targetDir, const CString& fileName,
                     CString& errorText) override {
        ++calls;
        lastPackage = packagePath.Str();
        lastArgs = (password + L"|" + infoTable + L"|" + dataTable + L"|" + targetDir + L"|" + fileName).Str();
        if (fail) {
            errorText = error.c_str();
            return false;
        }
        return CopyFileW(source.c_str(), (targetDir + L"\\" + fileName).GetString(), FALSE) != FALSE;
    }
    int calls = 0;
    bool fail = false;
    std::wstring error;
    std::wstring lastPackage, lastArgs;
    std::wstring source;
};

std::vector<std::string> LogLines(const std::wstring& path) {
    std::vector<std::string> lines;
    std::string text = ReadBytes(path);
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

class LaunchTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_standIn = ProgramDirectory() + L"\\Kestrun.exe";
        ASSERT_TRUE(Exists(m_standIn)) << "Kestrun.exe is built beside the tests";
        m_component.source = m_standIn;
        // The data files the start sequence checks first: a package and the shipped component files.
        ASSERT_TRUE(WriteBytes(File(L"Kestpak.da"), "package bytes"));
        for (const VerifiedFile& file : kVerifiedFiles) {
            if (file.role != FileRole::Component) continue;
            ASSERT_TRUE(CopyFileW((ProgramDirectory() + L"\\" + file.name).c_str(), File(file.name).c_str(), FALSE));
        }
        RecordProgramDigest(GetFileMd5(m_standIn.c_str()));
    }
    LaunchSettings Settings(IPackageExtractor* component) const { return SettingsFor(m_dir.path(), component); }
    // From the start (or, after a failed attempt, through the continue link) until the launch
    // ends or waits for the user; true when it did not end.
    bool Launch() {
        EXPECT_TRUE(RunUntilSettled(m_launch, m_window)) << "still in " << ToUtf8(NameOf(m_launch.State()));
        return m_launch.State() != LaunchState::Ended;
    }

    void RecordProgramDigest(const CString& digest, const std::string& extra = std::string()) {
        ASSERT_TRUE(WriteBytes(File(L"AppConf.ini"),
                               "[Files]\r\nApdbm5=" + ToUtf8(EncodeDigestText(GetFileMd5(File(L"Kestpak.da").c_str()))) +
                                   "\r\nApexm5=" + ToUtf8(EncodeDigestText(digest)) + "\r\n" + extra));
    }
    void InstallProgram(const wchar_t* name) { ASSERT_TRUE(CopyFileW(m_standIn.c_str(), File(name).c_str(), FALSE)); }
    std::wstring File(const wchar_t* name) const { return m_dir.file(name); }
    std::vector<std::string> Runs() const { return LogLines(File(L"kestrun.log")); }
    std::string ExpectedCommandLine() const {
        return ToUtf8(BuildMainCommandLine(File(L"Kestrun.exe").c_str(), m_dir.path().c_str(), g_strServerAddress, g_strServerPort));
    }

    TempDir m_dir{L"launch test"};
    FakeComponent m_component;
    std::wstring m_standIn;
    RecordingMessageBoxes m_boxes;
    RecordingWindow m_window;
    CLaunch m_launch{Settings(&m_component), m_window};
};

TEST_F(LaunchTest, NormalRunStartsOnceWithTheCommandLineAndPutsTheFileBack) {
    InstallProgram(L"kstcache");
    EXPECT_FALSE(Launch());
    EXPECT_TRUE(m_boxes.boxes.empty());
    EXPECT_EQ(0, m_component.calls);  // the file matched its digest
    std::vector<std::string> runs = Runs();
    ASSERT_EQ(1u, runs.size());
    EXPECT_NE(std::string::npos, runs[0].find(" exit=0 cmd=" + ExpectedCommandLine()));
    EXPECT_EQ(ExpectedCommandLine(), runs[0].substr(runs[0].find(" cmd=") + 5));
    EXPECT_TRUE(Exists(File(L"kstcache")));
    EXPECT_FALSE(Exists(File(L"Kestrun.exe")));
    EXPECT_EQ(ReadBytes(m_standIn), ReadBytes(File(L"kstcache")));
    EXPECT_TRUE(m_window.ended);
}

TEST_F(LaunchTest, ExitCodeTwoReportsBadArgumentsThenRenames) {
    InstallProgram(L"kstcache");
    ASSERT_TRUE(WriteBytes(File(L"kestrun.codes"), "2"));
    bool programNameWhileShown = false;
    m_boxes.onShow = [&](const RecordingMessageBoxes::Box&) { programNameWhileShown = Exists(File(L"Kestrun.exe")); };
    EXPECT_FALSE(Launch());
    ASSERT_EQ(1u, m_boxes.boxes.size());
    EXPECT_EQ(L"错误提示", m_boxes.boxes[0].title);
    EXPECT_EQ(L"运行参数错误。", m_boxes.boxes[0].text);
    EXPECT_EQ(nullptr, m_boxes.boxes[0].owner);
    EXPECT_TRUE(programNameWhileShown);
    EXPECT_TRUE(Exists(File(L"kstcache")));
    EXPECT_FALSE(Exists(File(L"Kestrun.exe")));
    EXPECT_TRUE(m_window.ended);
}

TEST_F(LaunchTest, ExitCodeSixHandsOverToTheUpdaterAndStillRenames) {
    InstallProgram(L"kstcache");
    ASSERT_TRUE(WriteBytes(File(L"kestrun.codes"), "6"));
    EXPECT_FALSE(Launch());
    // No updater in this folder: the hand-off reports it; the file goes back all the same.
    EXPECT_FALSE(m_boxes.boxes.empty());
    EXPECT_TRUE(Exists(File(L"kstcache")));
    EXPECT_FALSE(Exists(File(L"Kestrun.exe")));
    EXPECT_TRUE(m_window.ended);
}

TEST_F(LaunchTest, TamperedOrMissingProgramIsExtractedAgainSilently) {
    ASSERT_TRUE(WriteBytes(File(L"kstcache"), "tampered"));
    EXPECT_FALSE(Launch());
    EXPECT_TRUE(m_boxes.boxes.empty());
    EXPECT_EQ(1, m_component.calls);
    EXPECT_EQ(File(L"Kestpak.da"), m_component.lastPackage);
    EXPECT_EQ((kPackagePassword + L"|" + kPackageInfoTable + L"|" + kPackageDataTable + L"|" +
               m_dir.path().c_str() + L"|Kestrun.exe").Str(),
              m_component.lastArgs);
    EXPECT_EQ(1u, Runs().size());
    EXPECT_EQ(ReadBytes(m_standIn), ReadBytes(File(L"kstcache")));

    // Missing altogether: extracted at once (by the next launcher: this one has finished).
    ASSERT_TRUE(DeleteFileW(File(L"kstcache").c_str()));
    RecordingWindow window;
    CLaunch next(Settings(&m_component), window);
    ASSERT_TRUE(RunUntilSettled(next, window));
    EXPECT_EQ(LaunchState::Ended, next.State());
    EXPECT_TRUE(m_boxes.boxes.empty());
    EXPECT_EQ(2, m_component.calls);
    EXPECT_EQ(2u, Runs().size());
    EXPECT_TRUE(Exists(File(L"kstcache")));
}

TEST_F(LaunchTest, ProgramLeftUnderItsRunnableNameIsUsedAndAStaleCacheReplaced) {
    // An earlier run did not end normally: both names exist.
    InstallProgram(L"Kestrun.exe");
    ASSERT_TRUE(WriteBytes(File(L"kstcache"), "stale copy"));
    EXPECT_FALSE(Launch());
    EXPECT_TRUE(m_boxes.boxes.empty());
    EXPECT_EQ(0, m_component.calls);
    EXPECT_EQ(1u, Runs().size());
    EXPECT_FALSE(Exists(File(L"Kestrun.exe")));
    EXPECT_EQ(ReadBytes(m_standIn), ReadBytes(File(L"kstcache")));
    EXPECT_TRUE(m_window.ended);
}

TEST_F(LaunchTest, BetweenRunsNameThatCannotBeReplacedIsReportedOnceAndTheLauncherEnds) {
    InstallProgram(L"Kestrun.exe");
    ASSERT_TRUE(CreateDirectoryW(File(L"kstcache").c_str(), nullptr));  // a folder is never replaced
    EXPECT_FALSE(Launch());
    EXPECT_EQ(1u, Runs().size());
    ASSERT_EQ(1u, m_boxes.boxes.size());
    EXPECT_EQ(L"软件加载提示", m_boxes.boxes[0].title);
    EXPECT_EQ(std::wstring::npos, m_boxes.boxes[0].text.find(m_dir.path()));
    EXPECT_EQ(ReadBytes(m_standIn), ReadBytes(File(L"Kestrun.exe")));  // nothing lost
    EXPECT_TRUE(m_window.ended);                                       // the launcher still ends
}

TEST_F(LaunchTest, CacheThatCannotBeRenamedIsReportedAndNothingRuns) {
    InstallProgram(L"kstcache");
    HANDLE held = CreateFileW(File(L"kstcache").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                              nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    bool launched = !Launch();
    CloseHandle(held);
    if (m_boxes.boxes.empty() && launched) {
        GTEST_SKIP() << "this system renames a file that is open without delete sharing";
    }
    EXPECT_FALSE(launched);
    ASSERT_EQ(1u, m_boxes.boxes.size());
    EXPECT_EQ(L"软件加载提示", m_boxes.boxes[0].title);
    EXPECT_TRUE(Runs().empty());
    EXPECT_TRUE(Exists(File(L"kstcache")));
    EXPECT_FALSE(m_window.ended);
}

TEST_F(LaunchTest, CacheHeldForAMomentByAnotherProgramIsWaitedFor) {
    InstallProgram(L"kstcache");
    {
        HeldFile scanner(File(L"kstcache"), 300);
        ASSERT_TRUE(scanner.held());
        EXPECT_FALSE(Launch());
    }
    EXPECT_TRUE(m_boxes.boxes.empty()) << (m_boxes.boxes.empty() ? "" : ToUtf8(m_boxes.boxes[0].text.c_str()));
    EXPECT_EQ(1u, Runs().size());
    EXPECT_TRUE(Exists(File(L"kstcache")));
    EXPECT_TRUE(m_window.ended);
}

TEST_F(LaunchTest, ProgramThatCannotStartShowsTheFailureAndKeepsItsName) {
    const std::string notAProgram = "this is not an executable";
    ASSERT_TRUE(WriteBytes(File(L"kstcache"), notAProgram));
    RecordProgramDigest(GetFileMd5(File(L"kstcache").c_str()));
    EXPECT_TRUE(Launch());
    ASSERT_EQ(1u, m_boxes.boxes.size());
    EXPECT_EQ(L"软件加载提示", m_boxes.boxes[0].title);
    EXPECT_EQ(0u, m_boxes.boxes[0].text.find(L"加载失败！\n"));
    EXPECT_EQ(std::wstring::npos, m_boxes.boxes[0].text.find(m_dir.path()));
    EXPECT_EQ(notAProgram, ReadBytes(File(L"Kestrun.exe")));
    EXPECT_FALSE(Exists(File(L"kstcache")));
    EXPECT_FALSE(m_window.ended);

    // A second attempt repeats the whole operation, with the same outcome.
    EXPECT_TRUE(Launch());
    EXPECT_EQ(2u, m_boxes.boxes.size());
}

TEST_F(LaunchTest, ChildLeftRunningByTheProgramEndsWithTheJob) {
    InstallProgram(L"kstcache");
    ASSERT_TRUE(WriteBytes(File(L"kestrun.child"), ""));
    EXPECT_FALSE(Launch());
    DWORD pid = 0;
    for (int i = 0; i < 100 && !pid; ++i) {
        pid = static_cast<DWORD>(atol(ReadBytes(File(L"kestrun.child.pid")).c_str()));
        if (!pid) Sleep(20);
    }
    ASSERT_NE(0u, pid) << "the child did not start";
    HANDLE child = OpenProcess(SYNCHRONIZE, FALSE, pid);
    if (child) {
        EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(child, 3000)) << "the child outlived the job";
        CloseHandle(child);
    }
    EXPECT_TRUE(m_window.ended);
}

TEST_F(LaunchTest, APackageHeldByAnotherProgramStopsTheStartWithoutCallingItDamaged) {
    InstallProgram(L"kstcache");
    RecordingWebPages pages;
    RecordingWindow window;
    CLaunch launch(Settings(&m_component), window);
    HeldFile writer(File(L"Kestpak.da"), 20000);
    ASSERT_TRUE(writer.held());
    ASSERT_TRUE(RunUntilSettled(launch, window));
    EXPECT_EQ(LaunchState::Stopped, launch.State());
    ASSERT_EQ(1u, m_boxes.boxes.size());
    EXPECT_EQ(L"数据文件正被其他程序占用：Kestpak.da\n请关闭占用该文件的程序后重启软件。", m_boxes.boxes[0].text);
    EXPECT_EQ(L"数据文件正被其他程序占用，请关闭该程序后重启软件。", window.status);
    EXPECT_TRUE(pages.pages.empty()) << "no download offered for a file that is in use";
    EXPECT_TRUE(Runs().empty());
}

TEST_F(LaunchTest, WithoutTheRuntimeTheStartSequenceStopsAndSaysSo) {
    RecordingWindow window;
    CLaunch launch(Settings(nullptr), window);
    InstallProgram(L"kstcache");
    ASSERT_TRUE(RunUntilSettled(launch, window));
    EXPECT_EQ(LaunchState::Stopped, launch.State());
    ASSERT_EQ(1u, m_boxes.boxes.size());
    EXPECT_EQ(L"初始化提示", m_boxes.boxes[0].title);
    EXPECT_EQ(L"运行库加载失败，请尝试重启软件...", m_boxes.boxes[0].text);
    EXPECT_EQ(L"运行库加载失败，请尝试重启软件...", window.status);
    EXPECT_TRUE(window.visible);
    EXPECT_FALSE(window.linkShown);
    EXPECT_TRUE(Exists(File(L"kstcache")));
    EXPECT_TRUE(Runs().empty());
}

TEST_F(LaunchTest, WhatTheChecksReportWhileTheCloseQuestionIsUpWaitsForTheAnswer) {
    // The question's box runs its own message loop, which carries on what the workers post:
    // here the checks end meanwhile. OK then starts nothing; Cancel lets the launch go on.
    InstallProgram(L"kstcache");
    for (int answer : {IDOK, IDCANCEL}) {
        RecordingWindow window;
        CLaunch launch(Settings(&m_component), window);
        ASSERT_TRUE(launch.Handle(LaunchEvent::Start));
        ASSERT_EQ(LaunchState::CheckingFiles, launch.State());
        m_boxes.Answer(answer);
        bool asked = false;
        m_boxes.onShow = [&](const RecordingMessageBoxes::Box&) {
            if (asked) return;
            asked = true;
            EXPECT_EQ(LaunchState::ConfirmingClose, launch.State());
            // The box stays up until the checks are back and a moment more.
            window.Pump(launch, [] { return false; }, 1500);
            EXPECT_EQ(LaunchState::ConfirmingClose, launch.State());
        };
        ASSERT_TRUE(launch.Handle(LaunchEvent::CloseButton));
        ASSERT_TRUE(window.Pump(launch, [&] { return window.ended || launch.State() == LaunchState::Failed; }));
        if (answer == IDOK) {
            EXPECT_EQ(IDCANCEL, window.endResult) << "ended as the dialog's own close";
            EXPECT_TRUE(Runs().empty());
        } else {
            EXPECT_EQ(-1, window.endResult) << "a normal end";
            EXPECT_EQ(1u, Runs().size());
        }
        EXPECT_EQ(L"确定关闭软件吗？", m_boxes.boxes.back().text);
        EXPECT_EQ(L"退出软件提示", m_boxes.boxes.back().title);
        m_boxes.onShow = nullptr;
    }
}

}  // namespace
