#include "util/FileRetry.h"

DWORD MoveFileWithRetry(const CString& from, const CString& to, bool replace) {
    if (MoveFileExW(from, to, replace ? MOVEFILE_REPLACE_EXISTING : 0)) return ERROR_SUCCESS;
    return GetLastError();
}
