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
// The crashed process only signals. At start-up the launcher starts its own executable
// again as its crash handler (from a thread of its own, beside the rest of the start-up),
// which waits for the launcher's end or its crash. The crashed
// thread fills in a block of memory shared with the handler, sets an event and waits: it
// takes no lock and allocates nothing, since it may hold the heap's or the loader's lock.
// The handler writes the dump from outside (MiniDumpWriteDump on the launcher's process),
// the run-log line and the box, then ends the launcher with the exception code. It ends
// with the launcher, holds no guard and shows no window but that box.
//
// Without a handler (it could not be started, it ended, or it does not answer within
// 30 s) the crashed thread writes the run-log line itself, through a handle opened at
// start-up, saying why there is no report, and leaves the rest to the system's own crash
// handling (Windows Error Reporting), which ends the process with the exception code.
#include <windows.h>

#include "framework/CString.h"

// The exception code of a C++ exception that nothing caught.
const DWORD kUncaughtCppException = 0xE0564D43;
// How many reports the folder keeps, the newest ones.
const size_t kKeptCrashReports = 5;

// Call once, first thing at start-up of a launcher.
void InstallCrashReporting();
// Waits until the crash handler has started (or failed to): call before code of others
// runs in the launcher (the component), whose crash may hold a lock that starting a
// process needs.
void AwaitCrashHandler();

// Call first thing in every process of the launcher's executable: when the command line
// makes this process a launcher's crash handler, it does that work until the launcher
// ends and returns true; otherwise it returns false at once.
bool RunCrashHandlerIfAsked(const wchar_t* commandLine);

// %LOCALAPPDATA%\Velmora\crashes (empty when the shell cannot name it).
CString CrashReportFolder();
// Deletes all but the `keep` newest reports (*.dmp) in `folder`; other files stay.
void PruneCrashReports(const CString& folder, size_t keep);
