#pragma once
// System error texts as the launcher shows them.
#include <windows.h>
#include "framework/CString.h"

// The system's text for an error code in the user's default language; empty when the
// system has none.
CString SystemErrorText(DWORD error);
// A text that names the main program's file or the launcher directory is replaced as a
// whole by a neutral reason, so that no path reaches the user.
CString HidePathsInErrorText(const CString& text, const CString& appDir);
