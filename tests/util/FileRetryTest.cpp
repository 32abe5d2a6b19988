// Renames while another program holds the file: a short hold is ridden out, a long one
// fails with the file untouched.
#include <gtest/gtest.h>

#include "support/TestSupport.h"
#include "util/FileRetry.h"

namespace {

TEST(MoveFileRetrying, WaitsOutAShortHoldAndGivesUpOnALongOneLosingNothing) {
    TempDir dir(L"retry");
    const std::wstring from = dir.file(L"kstcache");
    const std::wstring to = dir.file(L"Kestrun.exe");
    ASSERT_TRUE(WriteBytes(from, "program"));
    {
        HeldFile scanner(from, 300);
        ASSERT_TRUE(scanner.held());
        EXPECT_TRUE(MoveFileRetrying(from.c_str(), to.c_str(), 0)) << "error " << GetLastError();
    }
    EXPECT_EQ("program", ReadBytes(to));

    ASSERT_TRUE(WriteBytes(from, "older"));
    {
        HeldFile indexer(to, 60000);
        ASSERT_TRUE(indexer.held());
        EXPECT_FALSE(MoveFileRetrying(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING));
        const DWORD error = GetLastError();
        EXPECT_TRUE(error == ERROR_SHARING_VIOLATION || error == ERROR_ACCESS_DENIED) << error;
    }
    EXPECT_EQ("older", ReadBytes(from));
    EXPECT_EQ("program", ReadBytes(to));
}

}  // namespace
