// The crash folder keeps only the newest reports; the crash itself is in
// tests/e2e/CrashE2ETest.cpp.
#include <gtest/gtest.h>

#include <string>

#include "support/TestSupport.h"
#include "util/CrashReport.h"
#include "util/FileHelpers.h"

namespace {
// A file whose last write lies `minutesAgo` in the past.
void WriteAged(const std::wstring& path, int minutesAgo) {
    ASSERT_TRUE(WriteBytes(path, "MDMP"));
    UniqueFile file(CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(file);
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    ULARGE_INTEGER t{{now.dwLowDateTime, now.dwHighDateTime}};
    t.QuadPart -= ULONGLONG(minutesAgo) * 60 * 10000000;
    FILETIME then{t.LowPart, t.HighPart};
    ASSERT_TRUE(SetFileTime(file.get(), nullptr, nullptr, &then));
}
}  // namespace

TEST(CrashReport, OnlyTheNewestReportsAreKeptAndOtherFilesStay) {
    TempDir dir(L"crashes");
    // Named so that the order of the names is not the order of the times.
    const wchar_t* names[] = {L"c.dmp", L"a.dmp", L"e.dmp", L"b.dmp", L"d.dmp", L"f.dmp"};
    for (int i = 0; i < 6; ++i) WriteAged(dir.file(names[i]), 10 * (i + 1));
    ASSERT_TRUE(WriteBytes(dir.file(L"notes.txt"), "kept"));
    PruneCrashReports(dir.path().c_str(), 4);
    for (int i = 0; i < 6; ++i) EXPECT_EQ(i < 4, FileExists(dir.file(names[i]).c_str())) << i;
    EXPECT_TRUE(FileExists(dir.file(L"notes.txt").c_str()));
}
