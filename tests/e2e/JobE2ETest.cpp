// The main program's job from the outside: whatever it starts at its very first instruction
// ends with the launcher, and a launcher that itself runs inside a job forbidding breakaway
// (remote desktops, kiosks and schedulers put programs in such jobs) still runs it.
#include <gtest/gtest.h>

#include <cstdlib>

#include "Driver.h"
#include "Installation.h"
#include "TestSupport.h"
#include "framework/Codepage.h"

namespace {

bool ProcessEnds(DWORD pid, DWORD timeoutMs) {
    UniqueHandle process(OpenProcess(SYNCHRONIZE, FALSE, pid));
    return !process || WaitForSingleObject(process.get(), timeoutMs) == WAIT_OBJECT_0;
}

}  // namespace

TEST(JobE2E, AChildStartedAtTheProgramsFirstInstructionEndsWithTheLauncher) {
    ScopedRuntimes runtimes;
    TempDir dir(L"first child");
    ASSERT_TRUE(MakeInstallation(dir.path()));
    ASSERT_TRUE(WriteBytes(dir.file(L"kestrun.firstchild"), ""));
    ASSERT_TRUE(WriteBytes(dir.file(L"kestrun.hold"), ""));
    DrivenProcess launcher;
    ASSERT_TRUE(launcher.Start(dir.file(L"Velmora.exe")));
    DWORD child = 0;
    ASSERT_TRUE(WaitUntil([&] { return (child = static_cast<DWORD>(atol(ReadBytes(dir.file(L"kestrun.child.pid")).c_str()))) != 0; },
                          30000))
        << "the child did not start";
    launcher.Kill();
    EXPECT_TRUE(ProcessEnds(child, 5000)) << "the child outlived the launcher";
}

TEST(JobE2E, ALauncherInsideAJobWithoutBreakawayStillRunsTheMainProgram) {
    ScopedRuntimes runtimes;
    TempDir dir(L"injob");
    const std::wstring install = dir.file(L"Velmora");
    ASSERT_TRUE(MakeInstallation(install));

    // No JOB_OBJECT_LIMIT_BREAKAWAY_OK: a process in this job may not leave it.
    UniqueHandle job(CreateJobObjectW(nullptr, nullptr));
    ASSERT_TRUE(job);
    DrivenProcess launcher;
    ASSERT_TRUE(launcher.Start(install + L"\\Velmora.exe", L"", L"", job.get()));
    const std::vector<SeenBox> boxes = launcher.AnswerUntilExit({}, 60000);
    EXPECT_TRUE(boxes.empty()) << ToUtf8(boxes.empty() ? L"" : boxes[0].text.c_str());
    DWORD exitCode = 1;
    ASSERT_TRUE(launcher.WaitForExit(5000, &exitCode));
    EXPECT_EQ(0u, exitCode);
    EXPECT_EQ(1u, ReadUtf8Lines(install + L"\\kestrun.log").size());
    EXPECT_TRUE(Exists(install + L"\\kstcache"));
}

TEST(JobE2E, ASessionEndIsAnsweredAtOnceAndLetsTheMainProgramEndItsOwnWay) {
    ScopedRuntimes runtimes;
    TempDir dir(L"session end");
    ASSERT_TRUE(MakeInstallation(dir.path()));
    ASSERT_TRUE(WriteBytes(dir.file(L"kestrun.hold"), ""));
    DrivenProcess launcher;
    ASSERT_TRUE(launcher.Start(dir.file(L"Velmora.exe")));
    ASSERT_TRUE(WaitUntil([&] { return ReadUtf8Lines(dir.file(L"kestrun.log")).size() == 1; }, 30000));
    const std::vector<DWORD> programs = ProcessesNamed(L"Kestrun.exe");
    ASSERT_EQ(1u, programs.size());
    HWND dialog = FindDialogWindow(L"Velmora", launcher.pid());
    ASSERT_NE(nullptr, dialog);

    // As the system asks at a logoff: the hidden window answers yes at once.
    DWORD_PTR answer = 0;
    ASSERT_TRUE(SendMessageTimeoutW(dialog, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, SMTO_BLOCK, 10000, &answer));
    EXPECT_EQ(TRUE, static_cast<BOOL>(answer));
    ASSERT_TRUE(SendMessageTimeoutW(dialog, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF, SMTO_BLOCK, 10000, &answer));
    // Ended by the system before the main program: the program finishes its own ending.
    launcher.Kill();
    UniqueHandle program(OpenProcess(SYNCHRONIZE, FALSE, programs[0]));
    ASSERT_TRUE(program);
    EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), WaitForSingleObject(program.get(), 2000)) << "ended with the launcher";
    ASSERT_TRUE(DeleteFileW(dir.file(L"kestrun.hold").c_str()));
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(program.get(), 20000));
}
