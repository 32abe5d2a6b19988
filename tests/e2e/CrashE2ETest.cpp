// The real launcher crashing the ways a closed component really crashes (the stand-in
// does, as the file CsBrevinApi.crash beside it says): every time a minidump, one run-log
// line naming it with the exception code, one box saying where it lies, the exception code
// as the exit code, and the report written within seconds of the crash.
#include <gtest/gtest.h>

#include <cstdlib>
#include <iostream>
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
    const char* way;  // what CsBrevinApi.crash says
    DWORD code;
    bool damageProgram;  // so that the launcher has the component extract it again
};

// From the crash (the stand-in's last log line) to the finished dump.
const ULONGLONG kReportBoundMs = 10000;

ULONGLONG LastWriteMs(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return 0;
    return ((ULONGLONG(data.ftLastWriteTime.dwHighDateTime) << 32) | data.ftLastWriteTime.dwLowDateTime) / 10000;
}

// qemu-i386 gives Wine no trap number for a fault, and Wine then reports a null write as
// an illegal instruction. Accepted only where the scripts run Wine through qemu.
DWORD CodeOnThisMachine(DWORD code) {
    if (code != EXCEPTION_ACCESS_VIOLATION || !std::getenv("VELMORA_I386_NS")) return code;
    std::cout << "[   NOTE   ] Wine runs under qemu-i386 here: a null write is reported as 0xC000001D "
                 "(illegal instruction), and that code is expected\n";
    return EXCEPTION_ILLEGAL_INSTRUCTION;
}

std::wstring Hex(DWORD code) {
    wchar_t text[16];
    swprintf(text, 16, L"0x%08lX", code);
    return text;
}

class CrashE2E : public ::testing::TestWithParam<CrashCase> {
protected:
    void SetUp() override { ASSERT_TRUE(MakeInstallation(m_dir.path())) << "mkinstall failed"; }

    ScopedRuntimes m_runtimes;
    ScopedCrashDebuggerOff m_noDebugger;  // should the report fail, the test still ends
    TempDir m_dir{L"crash e2e"};
};

TEST_P(CrashE2E, LeavesADumpALogLineAndOneBoxThenEndsWithTheExceptionCode) {
    const CrashCase& crash = GetParam();
    const DWORD code = CodeOnThisMachine(crash.code);
    ASSERT_TRUE(WriteBytes(m_dir.file(L"CsBrevinApi.crash"), crash.way));
    if (crash.damageProgram) {
        ASSERT_TRUE(WriteBytes(m_dir.file(L"kstcache"), "damaged"));
    }
    DrivenProcess launcher;
    ASSERT_TRUE(launcher.Start(m_dir.file(L"Velmora.exe")));
    const std::vector<SeenBox> boxes = launcher.AnswerUntilExit({}, 60000);
    DWORD exitCode = 0;
    ASSERT_TRUE(launcher.WaitForExit(5000, &exitCode));
    EXPECT_EQ(code, exitCode) << std::hex << exitCode;
    EXPECT_TRUE(WaitUntil([] { return ProcessesNamed(L"Velmora.exe").empty(); }, 10000)) << "the handler ended too";
    const std::vector<std::wstring> noted = ReadUtf8Lines(m_dir.file(L"CsBrevinApi.log"));
    ASSERT_FALSE(noted.empty());
    EXPECT_EQ(L"crashing: " + NarrowToWide(crash.way).Str(), noted.back()) << "the crash came last";
    ASSERT_EQ(1u, boxes.size());
    EXPECT_EQ(L"错误提示", boxes[0].title);
    EXPECT_EQ(0u, boxes[0].text.find(L"Velmora 启动程序意外停止运行。\n错误报告已保存在：\n")) << ToUtf8(boxes[0].text.c_str());

    // The box names the dump: in the crash folder, named after the launcher, a minidump
    // finished soon after the crash.
    const std::wstring folder = CrashReportFolder().Str() + L"\\";
    const size_t at = boxes[0].text.find(folder);
    ASSERT_NE(std::wstring::npos, at) << ToUtf8(boxes[0].text.c_str());
    const std::wstring dump = boxes[0].text.substr(at, boxes[0].text.find(L'\n', at) - at);
    EXPECT_NE(std::wstring::npos, dump.find(L"-" + std::to_wstring(launcher.pid()) + L".dmp"));
    EXPECT_EQ("MDMP", ReadBytes(dump).substr(0, 4));
    const ULONGLONG crashed = LastWriteMs(m_dir.file(L"CsBrevinApi.log"));
    const ULONGLONG reported = LastWriteMs(dump);
    std::cout << "[   NOTE   ] " << crash.way << ": dump finished " << (reported - crashed) << " ms after the crash\n";
    EXPECT_LE(reported, crashed + kReportBoundMs);

    size_t naming = 0;
    for (const std::wstring& line : ReadUtf8Lines(RunLogPath().Str())) {
        if (line.find(L"[" + std::to_wstring(launcher.pid()) + L"] crash: exception " + Hex(code)) !=
                std::wstring::npos &&
            line.find(dump) != std::wstring::npos)
            ++naming;
    }
    EXPECT_EQ(1u, naming) << "one run-log line of the launcher names the dump and the exception code";

    // A dump for the crash-report command's test, when it asks for one.
    if (const wchar_t* keep = _wgetenv(L"VELMORA_CRASH_SAMPLES")) {
        CreateDirectoryW(keep, nullptr);
        CopyFileW(dump.c_str(), (std::wstring(keep) + L"\\" + NarrowToWide(crash.way).Str() + L".dmp").c_str(), FALSE);
    }
    DeleteFileW(dump.c_str());
}

INSTANTIATE_TEST_SUITE_P(
    Component, CrashE2E,
    ::testing::Values(CrashCase{"factory", EXCEPTION_ACCESS_VIOLATION, false},
                      CrashCase{"extract", EXCEPTION_ACCESS_VIOLATION, true},
                      CrashCase{"heap-locked", EXCEPTION_ACCESS_VIOLATION, false},
                      CrashCase{"loader-locked", EXCEPTION_ACCESS_VIOLATION, false},
                      CrashCase{"stack-overflow", EXCEPTION_STACK_OVERFLOW, false},
                      CrashCase{"thread", EXCEPTION_ACCESS_VIOLATION, false},
                      CrashCase{"destructor", EXCEPTION_ACCESS_VIOLATION, false}),
    [](const ::testing::TestParamInfo<CrashCase>& info) {
        std::string name;
        for (const char* p = info.param.way; *p; ++p) {
            if (*p != '-') name += *p;
        }
        return name;
    });

}  // namespace
