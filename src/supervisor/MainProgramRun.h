#pragma once
// One run of the main program: started suspended from its verified file inside a
// kill-on-close job, so that nothing it does, from its first instruction on, happens
// outside the job; resumed once the launch decides it may run; waited for.
#include <windows.h>

#include "framework/CString.h"
#include "framework/Handles.h"
#include "supervisor/LaunchOutcome.h"
#include "supervisor/Verification.h"

class CMainProgramRun : public ISuspendedStart {
public:
    CMainProgramRun() = default;
    ~CMainProgramRun();
    CMainProgramRun(const CMainProgramRun&) = delete;
    CMainProgramRun& operator=(const CMainProgramRun&) = delete;

    void SetCommandLine(const CString& commandLine) { m_commandLine = commandLine; }

    // Creates the process of the program held in `program`, suspended, and puts it into a
    // new kill-on-close job. The file stays held, so that nobody can change it, until the
    // process exists; then it is let go. Inside a job that forbids breakaway the process is
    // created in that job, and ours nests in it where the system allows.
    LaunchOutcome StartSuspended(CVerifiedProgram& program) override;
    // Ends a process that was created but never resumed: it has not run an instruction.
    void Discard() override;
    bool IsStarted() const { return m_process.process() != nullptr; }

    // Lets the program run.
    void Resume();
    // Blocks until the program (or, with a job, its job) has ended, or `cancel` is set (then
    // 0 and false). The job is closed, which ends whatever the program left running. Gives
    // the program's exit code.
    bool WaitForExit(HANDLE cancel, DWORD& exitCode);
    // The session ends: the program is no longer ended with the launcher, so that it can
    // finish its own ending whatever becomes of the launcher meanwhile.
    void KeepPastSessionEnd();

private:
    CString m_commandLine;
    UniqueHandle m_job;
    bool m_bInJob = false;
    bool m_bResumed = false;
    UniqueProcessInformation m_process;
};

// What the launcher does once the main program has ended with a given exit code: one row
// per code that means something; every other code is a normal end.
enum class ExitAction {
    RestartLauncher,  // a new launcher; the file keeps its program name
    Report,           // the row's box, then the file back under its between-runs name
    RunUpdater,       // the updater, then the file back
    Finish,           // the updater only when an update is pending, then the file back
};
struct ExitCodeRule {
    DWORD code;
    ExitAction action;
    LaunchStatus report;  // for Report: the outcome whose box is shown
};
ExitCodeRule RuleForExitCode(DWORD exitCode);

// Gives the main program's file its between-runs name back after a run, replacing a stale
// file of that name. In a folder that cannot be written the file keeps its program name,
// which the next run uses as it is: logged, Ok. Any other failure is RenameFailed.
LaunchOutcome RestoreCacheName(const CString& appDir);

// Starts the launcher's own executable again (the main program asked for a restart).
// RestartFailed with the system's error when it cannot be started.
LaunchOutcome StartLauncherAgain();
