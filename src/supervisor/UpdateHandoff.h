#pragma once
// Hand-off to the updater. Another program leaves an update request in the launcher
// directory: the marker file upd.tmp (a length-prefixed string file holding "6") and the
// update's files in the folder "update". After the main program has ended the launcher
// starts qorupd.exe when the main program asked for it (exit code 6) or when such a
// request is pending, and then ends.
#include "framework/CString.h"
#include "supervisor/LaunchOutcome.h"

// True when the folder holds nothing but hidden subfolders, and also when it cannot be
// listed at all (missing, not a folder, inaccessible). Never throws: an exception is
// reported on the standard error stream and counts as empty.
bool IsFolderEmpty(const CString& folder);

// True when the marker's text asks for an update: exactly "6" once leading and trailing
// white space is removed.
bool IsUpdateRequestText(const CString& text);

// An update request is pending in appDir: marker present, update folder with content,
// marker text "6".
bool IsUpdatePendingIn(const CString& appDir);
// Starts appDir\qorupd.exe and removes the marker (read-only or not) once it has
// started; only a started updater uses up the request. UpdaterMissing also for a folder
// of that name; UpdaterStartFailed with the shell's error.
LaunchOutcome StartUpdater(const CString& appDir);
