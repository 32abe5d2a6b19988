// The real launcher under Wine: start-up as a user meets it.
#include <gtest/gtest.h>

#include "Driver.h"
#include "Installation.h"
#include "TestSupport.h"
#include "framework/Handles.h"

namespace {
const wchar_t kDuplicateTitle[] = L"重复打开软件提示";
const wchar_t kDuplicateText[] = L"Velmora已经在运行中！\n请在电脑任务栏查找软件图标打开主界面！";

// A folder holding nothing but the launcher: start-up stops at a warning box and waits
// there, holding the single-instance guard.
struct BareLauncherFolder {
    TempDir dir{L"bare"};
    std::wstring exe = dir.file(L"Velmora.exe");
    BareLauncherFolder() { CopyFileW((BinDir() + L"\\Velmora.exe").c_str(), exe.c_str(), FALSE); }
};
}  // namespace

TEST(StartupE2E, ASecondCopyShowsOneWarningAndEndsWhileTheFirstGoesOn) {
    ScopedRuntimes runtimes;
    BareLauncherFolder folder;

    DrivenProcess first;
    ASSERT_TRUE(first.Start(folder.exe));
    auto firstBox = first.WaitForBox(20000, first.pid());
    ASSERT_TRUE(firstBox.has_value()) << "the first copy should stop at a warning";
    EXPECT_EQ(firstBox->pid, first.pid());

    DrivenProcess second;
    ASSERT_TRUE(second.Start(folder.exe));
    auto dup = second.WaitForBox(20000, second.pid());
    ASSERT_TRUE(dup.has_value());
    EXPECT_EQ(dup->pid, second.pid());
    EXPECT_EQ(dup->title, kDuplicateTitle);
    EXPECT_EQ(dup->text, kDuplicateText);
    ASSERT_TRUE(PressBoxButton(dup->hwnd, IDOK));
    DWORD code = 1;
    ASSERT_TRUE(second.WaitForExit(20000, &code));
    EXPECT_FALSE(second.WaitForBox(500, second.pid()).has_value()) << "exactly one box";

    // The first copy is undisturbed: still running, its box still up.
    EXPECT_EQ(WaitForSingleObject(first.handle(), 0), static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_TRUE(IsWindow(firstBox->hwnd));
    PressBoxButton(firstBox->hwnd, IDOK);
    first.AnswerUntilExit({}, 20000);
    EXPECT_TRUE(first.WaitForExit(5000));
}

TEST(StartupE2E, TheGuardIsGoneOnceTheFirstCopyEnded) {
    ScopedRuntimes runtimes;
    BareLauncherFolder folder;
    for (int run = 0; run < 2; ++run) {
        DrivenProcess launcher;
        ASSERT_TRUE(launcher.Start(folder.exe));
        auto seen = launcher.AnswerUntilExit({}, 20000);
        ASSERT_TRUE(launcher.WaitForExit(5000));
        ASSERT_FALSE(seen.empty());
        for (const SeenBox& box : seen) EXPECT_NE(box.title, kDuplicateTitle) << "run " << run;
    }
}

TEST(StartupE2E, AGuardNameTakenByAnotherKindOfObjectCountsAsACopyRunning) {
    ScopedRuntimes runtimes;
    BareLauncherFolder folder;
    UniqueHandle event(CreateEventW(nullptr, TRUE, FALSE, L"DEZ_App_Mutex"));
    ASSERT_TRUE(event);

    DrivenProcess launcher;
    ASSERT_TRUE(launcher.Start(folder.exe));
    std::vector<SeenBox> boxes = launcher.AnswerUntilExit({}, 20000);
    ASSERT_TRUE(launcher.WaitForExit(5000));
    ASSERT_EQ(1u, boxes.size());
    EXPECT_EQ(kDuplicateTitle, boxes[0].title);
    EXPECT_EQ(kDuplicateText, boxes[0].text);
}
