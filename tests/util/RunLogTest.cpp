// The run log: one stamped UTF-8 line per call, one previous file kept at the cap, and
// nothing (not even the last-error code) disturbed when the log cannot be written.
#include <gtest/gtest.h>

#include <algorithm>
#include <regex>
#include <string>

#include "framework/Handles.h"
#include "support/TestSupport.h"
#include "util/RunLog.h"

TEST(RunLog, StampedUtf8LinesRotationAtTheCapAndAnUnwritableLogSkipped) {
    TempDir dir(L"runlog");
    const std::wstring log = dir.file(L"launcher.log");
    SetRunLogPathForTesting(log.c_str());

    RunLog(L"job: %ls (error %lu)\r\nnext", L"创建", 5ul);
    RunLog(L"second");
    const std::regex line("\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\\.\\d{3} \\[" +
                          std::to_string(GetCurrentProcessId()) + "\\] ([^\r\n]*)\r\n");
    const std::string bytes = ReadBytes(log);
    const size_t split = bytes.find('\n') + 1;
    const std::string head = bytes.substr(0, split), tail = bytes.substr(split);
    std::smatch first, second;
    ASSERT_TRUE(std::regex_match(head, first, line)) << bytes;
    EXPECT_EQ("job: \xE5\x88\x9B\xE5\xBB\xBA (error 5)  next", first[1].str()) << "UTF-8; line breaks become spaces";
    ASSERT_TRUE(std::regex_match(tail, second, line)) << bytes;
    EXPECT_EQ("second", second[1].str());

    // A line that would pass 1 MiB: the full file replaces the previous one.
    const std::string full(1024 * 1024 - 10, 'x');
    ASSERT_TRUE(WriteBytes(log, full));
    ASSERT_TRUE(WriteBytes(log + L".1", "oldest"));
    RunLog(L"past the cap");
    EXPECT_EQ(full, ReadBytes(log + L".1"));
    const std::string fresh = ReadBytes(log);
    EXPECT_EQ(fresh.size() - 1, fresh.find('\n')) << "one line: " << fresh;
    EXPECT_NE(std::string::npos, fresh.find("] past the cap\r\n"));

    // A log that cannot be written is skipped, and the caller's last error survives.
    const std::wstring nowhere = dir.file(L"no folder\\launcher.log");
    SetRunLogPathForTesting(nowhere.c_str());
    SetLastError(ERROR_FILE_CORRUPT);
    RunLog(L"lost");
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_CORRUPT), GetLastError());
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(nowhere.c_str()));
    SetRunLogPathForTesting(L"");
}

TEST(RunLog, PreviousFileThatCannotBeReplacedStartsTheCurrentOneAfresh) {
    TempDir dir(L"runlog");
    const std::wstring log = dir.file(L"launcher.log");
    SetRunLogPathForTesting(log.c_str());
    ASSERT_TRUE(CreateDirectoryW((log + L".1").c_str(), nullptr));  // no file can take its name
    ASSERT_TRUE(WriteBytes(log, std::string(1024 * 1024 - 10, 'x')));
    for (int i = 0; i < 3; ++i) RunLog(L"past the cap %d", i);
    const std::string fresh = ReadBytes(log);
    EXPECT_EQ(std::string::npos, fresh.find('x')) << "the full file is gone";
    EXPECT_NE(std::string::npos, fresh.find("] past the cap 0\r\n"));
    EXPECT_NE(std::string::npos, fresh.find("] past the cap 2\r\n"));
    EXPECT_LT(fresh.size(), 1000u);
    SetRunLogPathForTesting(L"");
}

TEST(RunLog, TwoLaunchersAtTheCapRotateOneAtATimeSoThePreviousFileIsAlwaysAFullOne) {
    TempDir dir(L"runlog");
    const std::wstring log = dir.file(L"launcher.log");
    const std::wstring previous = log + L".1";
    // A small cap makes the two writers reach it together time after time.
    const DWORD cap = 4096;
    const DWORD longestLine = 450;  // 400 characters, the time and the process id
    // Both start writing at the same moment, once both are ready.
    const std::wstring name = L"Local\\VelmoraLogWriters" + std::to_wstring(GetCurrentProcessId());
    UniqueHandle ready(CreateSemaphoreW(nullptr, 0, 2, (name + L"Ready").c_str()));
    UniqueHandle go(CreateEventW(nullptr, TRUE, FALSE, (name + L"Go").c_str()));
    ASSERT_TRUE(ready && go);
    UniqueProcessInformation writers[2];
    for (UniqueProcessInformation& writer : writers) {
        std::wstring command = L"\"" + ProgramDirectory() + L"\\util_logwriter.exe\" \"" + log + L"\" " +
                               std::to_wstring(cap) + L" 150 " + name + L"Ready " + name + L"Go";
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        ASSERT_TRUE(CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                                   writer.put()));
    }
    for (int i = 0; i < 2; ++i) ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(ready.get(), 60000));
    SetEvent(go.get());

    // Watched while they write: the previous file is only ever one that was full.
    HANDLE both[] = {writers[0].process(), writers[1].process()};
    DWORD smallest = MAXDWORD;
    const DWORD start = GetTickCount();
    while (WaitForMultipleObjects(2, both, TRUE, 1) == WAIT_TIMEOUT) {
        WIN32_FILE_ATTRIBUTE_DATA data = {};
        if (GetFileAttributesExW(previous.c_str(), GetFileExInfoStandard, &data)) {
            smallest = std::min<DWORD>(smallest, data.nFileSizeLow);
        }
        if (GetTickCount() - start > 120000) {
            for (HANDLE writer : both) TerminateProcess(writer, 1);
            FAIL() << "the writers did not end";
        }
    }
    for (HANDLE writer : both) {
        DWORD exitCode = 1;
        EXPECT_TRUE(GetExitCodeProcess(writer, &exitCode) && exitCode == 0) << exitCode;
    }
    ASSERT_NE(MAXDWORD, smallest) << "never rotated";
    EXPECT_GT(smallest, cap - longestLine);
    EXPECT_GT(ReadBytes(previous).size(), cap - longestLine);
}
