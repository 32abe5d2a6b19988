#pragma once
// One run of the main program: started from its verified file inside a kill-on-close
// job, with its fixed command line, and waited for.
#include <windows.h>

#include "framework/CString.h"
#include "framework/Handles.h"
#include "util/LaunchOutcome.h"
#include "supervisor/Verification.h"

class CMainProgramRun {
public:
    CMainProgramRun() = default;
    CMainProgramRun(const CMainProgramRun&) = delete;
    CMainProgramRun& operator=(const CMainProgramRun&) = delete;

    // Starts the program held in `program` with `commandLine`. The file stays held, so
    // that nobody can change it, until CreateProcessW has returned; then it is let go.
    LaunchOutcome Start(CVerifiedProgram& program, const CString& commandLine);
    // Blocks until the program (or, with a job, its job) has ended; the job is closed,
    // which ends whatever the program left running. Gives the program's exit code.
    DWORD WaitForExit();

private:
    UniqueHandle m_job;
    UniqueProcessInformation m_process;
};

// What the launcher does once the main program has ended with `exitCode`.
enum class ExitAction {
    RestartLauncher,      // 4: a new launcher; the file keeps its program name
    ReportBadArguments,   // 2
    RunUpdater,           // 6
    Finish,               // anything else: the updater only when an update is pending
};
ExitAction ActionForExitCode(DWORD exitCode);

// Gives the main program's file its between-runs name back after a run, replacing a stale
// file of that name. In a folder that cannot be written the file keeps its program name,
// which the next run uses as it is: logged, Ok. Any other failure is RenameFailed.
LaunchOutcome RestoreCacheName(const CString& appDir);
