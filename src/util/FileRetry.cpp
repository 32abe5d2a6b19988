#include "util/FileRetry.h"

#include "util/RunLog.h"

namespace {

const DWORD kFirstPauseMs = 10;
const DWORD kLongestPauseMs = 400;
const DWORD kTotalPauseMs = 2000;

// Failures of a rename that may go away by themselves once another program lets go of the
// file: a renamed file that is open without delete sharing also gives "access denied".
bool IsFileInUseError(DWORD error) { return IsFileBusyError(error) || error == ERROR_ACCESS_DENIED; }

}  // namespace

bool IsFileBusyError(DWORD error) { return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION; }

bool MoveFileRetrying(const CString& from, const CString& to, DWORD flags) {
    DWORD paused = 0;
    DWORD pause = kFirstPauseMs;
    for (int attempt = 1;; ++attempt) {
        if (MoveFileExW(from, to, flags)) {
            RunLog(L"renamed %ls to %ls (attempt %d)", from.GetString(), to.GetString(), attempt);
            return true;
        }
        const DWORD error = GetLastError();
        if (!IsFileInUseError(error) || paused >= kTotalPauseMs) {
            RunLog(L"cannot rename %ls to %ls (error %lu, attempt %d)", from.GetString(), to.GetString(), error,
                   attempt);
            return false;
        }
        const DWORD step = pause < kTotalPauseMs - paused ? pause : kTotalPauseMs - paused;
        Sleep(step);
        paused += step;
        pause = pause * 2 < kLongestPauseMs ? pause * 2 : kLongestPauseMs;
    }
}
