#pragma once
// System error texts as the launcher shows them.
#include <windows.h>
#include "framework/CString.h"

// The system's text for an error code in the user's default language; empty when the
// system has none. Some texts have a place for a file name ("%1 ..."): `insert`, a bare
// file name, goes there; without one the place is left as the system wrote it.
CString SystemErrorText(DWORD error, const wchar_t* insert = nullptr);
// A text that names the main program's file or the launcher directory is replaced as a
// whole by a neutral reason, so that no path reaches the user.
CString HidePathsInErrorText(const CString& text, const CString& appDir);
