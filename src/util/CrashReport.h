#pragma once
// Crash reports for support. Once installed, an exception that nothing handles, on any
// thread of the launcher and inside the component it calls, ends the launcher this way:
//   - a minidump "Velmora-<version>-<yyyymmdd>-<hhmmss>-<pid>.dmp" in
//     %LOCALAPPDATA%\Velmora\crashes (the newest few are kept),
//   - a run-log line naming it,
//   - one box telling the user that the launcher stopped unexpectedly and where the report
//     lies,
//   - the exception code as the exit code.
// A C++ exception that nothing catches ends it the same way, with kUncaughtCppException.
//
// After a crash nothing of ours waits for a lock the crashed thread may hold or allocates:
// the folder, the log's path and a reporting thread with a stack of its own are made ready
// at start-up. That thread loads dbghelp.dll (from the system folder only) and writes the
// dump; when it cannot finish in time (the system needs a lock the crashed thread holds),
// the launcher ends with the exception code without a report.
#include <windows.h>

#include "framework/CString.h"

// The exception code of a C++ exception that nothing caught.
const DWORD kUncaughtCppException = 0xE0564D43;
// How many reports the folder keeps, the newest ones.
const size_t kKeptCrashReports = 5;

// Call once, first thing at start-up.
void InstallCrashReporting();

// %LOCALAPPDATA%\Velmora\crashes (empty when the shell cannot name it).
CString CrashReportFolder();
// Deletes all but the `keep` newest reports (*.dmp) in `folder`; other files stay.
void PruneCrashReports(const CString& folder, size_t keep);
