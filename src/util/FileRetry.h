#pragma once
#include <windows.h>

#include "framework/CString.h"

// Moves `from` to `to` (replacing an existing `to` when `replace` is set); ERROR_SUCCESS or
// the reason it failed.
DWORD MoveFileWithRetry(const CString& from, const CString& to, bool replace);
