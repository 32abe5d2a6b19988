#pragma once
// Renames that ride out a file held open for a moment by another program (a virus
// scanner, an indexer, a backup tool looking at a freshly written file).
#include <windows.h>
#include "framework/CString.h"

// MoveFileExW(from, to, flags), tried again with short growing pauses while it fails
// because a file is in use (sharing or lock violation, access denied), for about two
// seconds in all. Any other failure ends it at once. The last error is that of the last
// attempt; every rename and its outcome goes to the run log.
bool MoveFileRetrying(const CString& from, const CString& to, DWORD flags);

// The file is open in another program in a way that keeps this one out for now (sharing
// or lock violation): busy, not missing or damaged.
bool IsFileBusyError(DWORD error);
