// The real launcher under Wine handing over to the updater (the qorupd.exe stand-in) after
// the main program (the Kestrun.exe stand-in) ended with a scripted exit code.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "Driver.h"
#include "support/Installation.h"
#include "support/TestSupport.h"
#include "framework/Codepage.h"

namespace {

const DWORD kRunTimeoutMs = 30000;

std::string Marker(const std::string& text) {
    std::string bytes(4, '\0');
    uint32_t n = static_cast<uint32_t>(text.size());
    for (int i = 0; i < 4; ++i) bytes[i] = static_cast<char>((n >> (8 * i)) & 0xFF);
    return bytes + text;
}


// An installation built by mkinstall in a folder of its own, run once with the exit codes
// the main program is to give.
class UpdateHandOff : public ::testing::Test {
protected:
    ScopedRuntimes runtimes;
    TempDir dir{L"update e2e"};
    std::wstring launcher = dir.file(L"Velmora.exe");

    void SetUp() override { ASSERT_TRUE(MakeInstallation(dir.path())) << "mkinstall failed"; }

    void Codes(const std::string& codes) { ASSERT_TRUE(WriteBytes(dir.file(L"kestrun.codes"), codes)); }
    void RequestUpdate(bool withContent) {
        ASSERT_TRUE(WriteBytes(dir.file(L"upd.tmp"), Marker("6")));
        ASSERT_TRUE(CreateDirectoryW(dir.file(L"update").c_str(), nullptr));
        if (withContent) {
            ASSERT_TRUE(WriteBytes(dir.file(L"update\\Kestrun.exe"), "new"));
        }
    }

    // Runs the launcher to its end, pressing OK on every box; returns the boxes seen.
    std::vector<SeenBox> Run() {
        DrivenProcess process;
        EXPECT_TRUE(process.Start(launcher));
        std::vector<SeenBox> boxes = process.AnswerUntilExit({}, kRunTimeoutMs);
        DWORD code = 0;
        EXPECT_TRUE(process.WaitForExit(5000, &code)) << "the launcher did not end";
        return boxes;
    }

    std::vector<std::wstring> MainRuns() { return ReadUtf8Lines(dir.file(L"kestrun.log")); }
    // Lines of the updater's log, waiting a little for a start that may still be under way.
    std::vector<std::wstring> UpdaterRuns(DWORD waitMs = 3000) {
        std::vector<std::wstring> lines;
        WaitUntil([&] { return !(lines = ReadUtf8Lines(dir.file(L"qorupd.log"))).empty(); }, waitMs);
        return lines;
    }
    void ExpectMovedBack() {
        EXPECT_TRUE(Exists(dir.file(L"kstcache"))) << "the main program's file has its between-runs name";
        EXPECT_FALSE(Exists(dir.file(L"Kestrun.exe")));
    }
};

}  // namespace

TEST_F(UpdateHandOff, ExitCodeSixStartsTheUpdaterWithoutAnyRequest) {
    Codes("6");
    std::vector<SeenBox> boxes = Run();
    EXPECT_TRUE(boxes.empty()) << "first box: " << (boxes.empty() ? "" : ToUtf8(boxes[0].text.c_str()));
    ASSERT_EQ(MainRuns().size(), 1u);
    std::vector<std::wstring> runs = UpdaterRuns();
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_NE(runs[0].find(L"qorupd.exe\""), std::wstring::npos) << "started by its full path, no arguments";
    ExpectMovedBack();
}

TEST_F(UpdateHandOff, APendingRequestAfterANormalEndStartsTheUpdaterAndUsesUpTheMarker) {
    Codes("0");
    RequestUpdate(true);
    std::vector<SeenBox> boxes = Run();
    EXPECT_TRUE(boxes.empty());
    EXPECT_EQ(UpdaterRuns().size(), 1u);
    EXPECT_FALSE(Exists(dir.file(L"upd.tmp"))) << "the marker is removed once the updater started";
    EXPECT_TRUE(Exists(dir.file(L"update\\Kestrun.exe"))) << "the update's files are not touched";
    ExpectMovedBack();
}

TEST_F(UpdateHandOff, ARequestWithAnEmptyUpdateFolderStartsNothing) {
    Codes("0");
    RequestUpdate(false);
    std::vector<SeenBox> boxes = Run();
    EXPECT_TRUE(boxes.empty());
    EXPECT_TRUE(UpdaterRuns(1500).empty());
    EXPECT_TRUE(Exists(dir.file(L"upd.tmp"))) << "the request stays for a later run";
    ExpectMovedBack();
}

TEST_F(UpdateHandOff, ExitCodesTwoAndFourNeverStartTheUpdater) {
    RequestUpdate(true);
    // 4 restarts the launcher, whose own run of the main program then ends with 2.
    Codes("4 2");
    std::vector<SeenBox> boxes = Run();
    if (boxes.empty()) {
        // The restarted launcher is not ours to drive: answer its box where it appears.
        DrivenProcess observer;
        std::optional<SeenBox> box = observer.WaitForBox(kRunTimeoutMs);
        if (box) {
            boxes.push_back(*box);
            PressBoxButton(box->hwnd, IDOK);
        }
    }
    ASSERT_EQ(boxes.size(), 1u) << "only the second run's argument-error box";
    EXPECT_EQ(boxes[0].title, L"错误提示");
    EXPECT_EQ(boxes[0].text, L"运行参数错误。");
    EXPECT_TRUE(WaitUntil([] { return ProcessesNamed(L"Velmora.exe").empty(); }, kRunTimeoutMs));

    EXPECT_EQ(MainRuns().size(), 2u);
    EXPECT_TRUE(UpdaterRuns(1500).empty());
    EXPECT_TRUE(Exists(dir.file(L"upd.tmp")));
    ExpectMovedBack();
}

TEST_F(UpdateHandOff, AMissingUpdaterIsReportedAndTheMainProgramStillMovedBack) {
    ASSERT_TRUE(DeleteFileW(dir.file(L"qorupd.exe").c_str()));
    Codes("6");
    std::vector<SeenBox> boxes = Run();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].title, L"软件升级提示");
    EXPECT_EQ(boxes[0].text, L"升级程序加载失败！\n文件丢失。");
    ExpectMovedBack();
}
