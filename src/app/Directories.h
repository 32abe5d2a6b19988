#pragma once
#include "framework/CString.h"

// The directory of the launcher's executable, without trailing backslash (a drive root
// keeps it); the current directory when the module name cannot be read.
CString GetLauncherDirectory();
// The current user's desktop folder; empty when the shell cannot tell.
CString GetDesktopDirectory();
