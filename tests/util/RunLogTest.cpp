// The run log: one stamped UTF-8 line per call, one previous file kept at the cap, and
// nothing (not even the last-error code) disturbed when the log cannot be written.
#include <gtest/gtest.h>

#include <regex>
#include <string>

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
