// The real launcher crashing inside the component it calls (the stand-in dereferences a
// null pointer when a switch file lies beside it): a minidump for support, a run-log line
// naming it, one box saying where it lies, and the exception code as the exit code.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Driver.h"
#include "support/Installation.h"
#include "support/TestSupport.h"
#include "framework/Codepage.h"
#include "util/CrashReport.h"
#include "util/RunLog.h"

namespace {

struct CrashCase {
    const wchar_t* switchFile;
    bool damageProgram;  // so that the launcher has the component extract it again
};

class CrashE2E : public ::testing::TestWithParam<CrashCase> {
protected:
    void SetUp() override { ASSERT_TRUE(MakeInstallation(m_dir.path())) << "mkinstall failed"; }

    ScopedRuntimes m_runtimes;
    ScopedCrashDebuggerOff m_noDebugger;  // should the handler fail, the test still ends
    TempDir m_dir{L"crash e2e"};
};

TEST_P(CrashE2E, LeavesADumpALogLineAndOneBoxThenEndsWithTheExceptionCode) {
    ASSERT_TRUE(WriteBytes(m_dir.file(GetParam().switchFile), ""));
    if (GetParam().damageProgram) {
        ASSERT_TRUE(WriteBytes(m_dir.file(L"kstcache"), "damaged"));
    }
    DrivenProcess launcher;
    ASSERT_TRUE(launcher.Start(m_dir.file(L"Velmora.exe")));
    const std::vector<SeenBox> boxes = launcher.AnswerUntilExit({}, 60000);
    DWORD exitCode = 0;
    ASSERT_TRUE(launcher.WaitForExit(5000, &exitCode));
    EXPECT_EQ(static_cast<DWORD>(EXCEPTION_ACCESS_VIOLATION), exitCode) << std::hex << exitCode;
    ASSERT_EQ(1u, boxes.size());
    EXPECT_EQ(L"错误提示", boxes[0].title);
    EXPECT_EQ(0u, boxes[0].text.find(L"Velmora 启动程序意外停止运行。\n错误报告已保存在：\n")) << ToUtf8(boxes[0].text.c_str());

    // The box names the dump: in the crash folder, written by this run, a minidump.
    const std::wstring folder = CrashReportFolder().Str() + L"\\";
    const size_t at = boxes[0].text.find(folder);
    ASSERT_NE(std::wstring::npos, at) << ToUtf8(boxes[0].text.c_str());
    const std::wstring dump = boxes[0].text.substr(at, boxes[0].text.find(L'\n', at) - at);
    EXPECT_NE(std::wstring::npos, dump.find(L"-" + std::to_wstring(launcher.pid()) + L".dmp"));
    EXPECT_EQ("MDMP", ReadBytes(dump).substr(0, 4));

    size_t naming = 0;
    for (const std::wstring& line : ReadUtf8Lines(RunLogPath().Str())) {
        if (line.find(L"crash: exception 0xC0000005") != std::wstring::npos && line.find(dump) != std::wstring::npos)
            ++naming;
    }
    EXPECT_EQ(1u, naming) << "one run-log line names the dump";
    DeleteFileW(dump.c_str());
}

INSTANTIATE_TEST_SUITE_P(InTheComponent, CrashE2E,
                         ::testing::Values(CrashCase{L"CsBrevinApi.crash-factory", false},
                                           CrashCase{L"CsBrevinApi.crash-extract", true}),
                         [](const ::testing::TestParamInfo<CrashCase>& info) {
                             return std::string(info.param.damageProgram ? "Extraction" : "Factory");
                         });

}  // namespace
