// The digest task's reads. Windows fails a read of a byte range that another program has
// locked (LockFileEx, as backup and virus scanners do) with a lock violation; Wine does not
// enforce such locks, so a reader that fails in the middle of the file stands in for it.
#include <gtest/gtest.h>
#include <windows.h>

#include <memory>
#include <string>

#include "support/TestSupport.h"
#include "util/DigestTask.h"
#include "PrintCString.h"

namespace {

int g_readsBeforeTheRange = 0;
DWORD g_refusal = 0;

BOOL WINAPI ReadUpToALockedRange(HANDLE file, LPVOID buffer, DWORD size, LPDWORD read, LPOVERLAPPED overlapped) {
    if (g_readsBeforeTheRange-- <= 0) {
        *read = 0;
        SetLastError(g_refusal);
        return FALSE;
    }
    return ReadFile(file, buffer, size, read, overlapped);
}

}  // namespace

TEST(DigestTask, AReadRefusedInTheMiddleIsBusyOnlyForALockAndTheNextTaskReadsTheWholeFile) {
    TempDir dir(L"digesttask");
    // Digested where the task is made, and on its own thread.
    for (size_t size : {size_t(600) << 10, size_t(3) << 20}) {
        const std::wstring path = dir.file(L"Kestpak.da");
        ASSERT_TRUE(WriteBytes(path, std::string(size, 'k')));
        const CString whole = GetFileMd5(path.c_str());
        ASSERT_EQ(32, whole.GetLength());
        for (DWORD refusal : {DWORD(ERROR_LOCK_VIOLATION), DWORD(ERROR_SHARING_VIOLATION), DWORD(ERROR_CRC)}) {
            SCOPED_TRACE(std::to_string(size) + " bytes, error " + std::to_string(refusal));
            g_refusal = refusal;
            g_readsBeforeTheRange = 1;
            CDigestTask task(path.c_str(), FILE_SHARE_READ, false, &ReadUpToALockedRange);
            const CString partial = task.Result();
            EXPECT_EQ(0u, task.OpenError());
            EXPECT_EQ(refusal, task.Error());
            EXPECT_EQ(refusal != ERROR_CRC, task.WasBusy());
            EXPECT_EQ(32, partial.GetLength());
            EXPECT_NE(whole, partial) << "the bytes before the range only";

            g_readsBeforeTheRange = 1 << 20;  // the other program has let go
            std::unique_ptr<CDigestTask> again = task.Again();
            EXPECT_EQ(whole, again->Result());
            EXPECT_EQ(0u, again->Error());
            EXPECT_FALSE(again->WasBusy());
        }
    }
}
