// The launcher started inside a job that forbids breaking away: the main program cannot be
// started outside it, and the user is told so.
#include <gtest/gtest.h>

#include "Driver.h"
#include "Installation.h"
#include "TestSupport.h"
#include "framework/Codepage.h"

TEST(JobE2E, ALauncherInsideAJobWithoutBreakawayReportsTheFailedStartAndStaysVisible) {
    ScopedRuntimes runtimes;
    TempDir dir(L"injob");
    const std::wstring install = dir.file(L"Velmora");
    ASSERT_TRUE(MakeInstallation(install));

    // No JOB_OBJECT_LIMIT_BREAKAWAY_OK: a process in this job may not leave it.
    UniqueHandle job(CreateJobObjectW(nullptr, nullptr));
    ASSERT_TRUE(job);
    DrivenProcess launcher;
    ASSERT_TRUE(launcher.Start(install + L"\\Velmora.exe", L"", L"", job.get()));

    auto box = launcher.WaitForBox(30000, launcher.pid());
    ASSERT_TRUE(box.has_value());
    EXPECT_EQ(box->title, L"软件加载提示");
    EXPECT_EQ(box->text.rfind(L"加载失败！\n", 0), 0u) << "text: " << ToUtf8(box->text.c_str());
    EXPECT_GT(box->text.size(), std::wstring(L"加载失败！\n").size()) << "the system's reason follows";
    PressBoxButton(box->hwnd, IDOK);

    // The launch failed: the dialog appears with the continue link, the program never ran
    // and keeps its runnable name.
    HWND dialog = nullptr;
    ASSERT_TRUE(WaitUntil(
        [&] {
            dialog = FindDialogWindow(L"Velmora", launcher.pid());
            return dialog && IsWindowVisible(dialog);
        },
        20000));
    HWND link = GetDlgItem(dialog, 1013);
    EXPECT_TRUE(link && IsWindowVisible(link) && IsWindowEnabled(link));
    EXPECT_EQ(GetFileAttributesW((install + L"\\kestrun.log").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_NE(GetFileAttributesW((install + L"\\Kestrun.exe").c_str()), INVALID_FILE_ATTRIBUTES);

    PostMessageW(dialog, WM_CLOSE, 0, 0);
    EXPECT_TRUE(launcher.WaitForExit(20000));
}
