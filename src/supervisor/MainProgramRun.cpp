#include "supervisor/MainProgramRun.h"

#include <shellapi.h>
#include <shlwapi.h>

#include <string>

#include "framework/WinApp.h"
#include "supervisor/JobObject.h"
#include "util/FileHelpers.h"
#include "util/FileRetry.h"
#include "util/InstallationNames.h"
#include "util/RunLog.h"

namespace {

const ExitCodeRule kExitCodeRules[] = {
    {4, ExitAction::RestartLauncher, LaunchStatus::Ok},
    {2, ExitAction::Report, LaunchStatus::BadArguments},
    {6, ExitAction::RunUpdater, LaunchStatus::Ok},
};

// A process ended by Discard goes within this time; it never ran, so it holds nothing.
const DWORD kDiscardWaitMs = 5000;

BOOL CreateSuspended(std::wstring& commandLine, DWORD flags, UniqueProcessInformation& process) {
    STARTUPINFOW startup;
    ZeroMemory(&startup, sizeof startup);
    startup.cb = sizeof startup;
    // CreateProcessW may write into the command line: it is handed a private copy.
    std::wstring writable(commandLine);
    writable.push_back(L'\0');
    return CreateProcessW(nullptr, &writable[0], nullptr, nullptr, FALSE, flags | CREATE_SUSPENDED, nullptr, nullptr,
                          &startup, process.put());
}

}  // namespace

CMainProgramRun::~CMainProgramRun() {
    // Created but never let run: it goes rather than wait forever, suspended. One that runs
    // is left to its job.
    if (!m_bResumed) Discard();
}

LaunchOutcome CMainProgramRun::StartSuspended(CVerifiedProgram& program) {
    Discard();
    m_bResumed = false;
    m_job = CreateKillOnCloseJob();
    std::wstring commandLine(m_commandLine.Str());
    BOOL started = CreateSuspended(commandLine, CREATE_BREAKAWAY_FROM_JOB, m_process);
    DWORD error = started ? ERROR_SUCCESS : GetLastError();
    if (!started && error == ERROR_ACCESS_DENIED) {
        // The launcher runs in a job that forbids breakaway (a remote desktop, a kiosk, a
        // scheduler). The program then starts in that job, and ours nests inside it.
        RunLog(L"start of %ls: the launcher's job forbids breakaway; starting it inside that job",
               program.path.GetString());
        started = CreateSuspended(commandLine, 0, m_process);
        error = started ? ERROR_SUCCESS : GetLastError();
    }
    program.file.reset();
    if (!started) {
        RunLog(L"start of %ls failed: %u", program.path.GetString(), static_cast<unsigned>(error));
        m_job.reset();
        return LaunchOutcome::Of(LaunchStatus::StartFailed, error, kMainProgramFile);
    }
    m_bInJob = m_job && AssignProcessToJobObject(m_job.get(), m_process.process());
    if (m_job && !m_bInJob) {
        // Jobs nest from Windows 8 on; before that a process in a job cannot join another.
        RunLog(L"job: the main program cannot be put into it (error %lu); kill-on-close is not available, "
               L"it runs without",
               GetLastError());
        m_job.reset();
    }
    RunLog(L"main program created suspended: process %u", static_cast<unsigned>(m_process.get().dwProcessId));
    return LaunchOutcome::Of(LaunchStatus::Ok);
}

void CMainProgramRun::Discard() {
    if (!IsStarted() || m_bResumed) return;
    TerminateProcess(m_process.process(), ERROR_CANCELLED);
    // Its image holds the file until the process is gone; the file may be replaced next.
    WaitForSingleObject(m_process.process(), kDiscardWaitMs);
    RunLog(L"main program discarded before it ran: process %u", static_cast<unsigned>(m_process.get().dwProcessId));
    m_process.reset();
    m_job.reset();
    m_bInJob = false;
}

void CMainProgramRun::Resume() {
    if (!IsStarted() || m_bResumed) return;
    m_bResumed = true;
    ResumeThread(m_process.thread());
    RunLog(L"main program started: process %u", static_cast<unsigned>(m_process.get().dwProcessId));
}

bool CMainProgramRun::WaitForExit(HANDLE cancel, DWORD& exitCode) {
    exitCode = 0;
    HANDLE waitFor[3];
    DWORD count = 0;
    if (cancel) waitFor[count++] = cancel;
    waitFor[count++] = m_process.process();
    if (m_bInJob) waitFor[count++] = m_job.get();
    const DWORD woke = WaitForMultipleObjects(count, waitFor, FALSE, INFINITE);
    if (cancel && woke == WAIT_OBJECT_0) return false;
    m_job.reset();
    GetExitCodeProcess(m_process.process(), &exitCode);
    m_process.reset();
    m_bResumed = false;
    RunLog(L"main program ended: exit code %u", static_cast<unsigned>(exitCode));
    return true;
}

void CMainProgramRun::KeepPastSessionEnd() {
    if (!m_job) return;
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits;
    ZeroMemory(&limits, sizeof limits);
    const BOOL kept = SetInformationJobObject(m_job.get(), JobObjectExtendedLimitInformation, &limits, sizeof limits);
    RunLog(L"session ends: the main program %ls", kept ? L"no longer ends with the launcher"
                                                       : L"still ends with the launcher (the job refused)");
}

ExitCodeRule RuleForExitCode(DWORD exitCode) {
    for (const ExitCodeRule& rule : kExitCodeRules) {
        if (rule.code == exitCode) return rule;
    }
    return ExitCodeRule{exitCode, ExitAction::Finish, LaunchStatus::Ok};
}

LaunchOutcome RestoreCacheName(const CString& appDir) {
    if (!CanWriteInFolder(appDir)) {
        RunLog(L"the installation folder cannot be written: %ls keeps its name", kMainProgramFile.GetString());
        return LaunchOutcome::Of(LaunchStatus::Ok);
    }
    if (!MoveFileRetrying(JoinPath(appDir, kMainProgramFile), JoinPath(appDir, kMainProgramCacheFile),
                          MOVEFILE_REPLACE_EXISTING)) {
        return LaunchOutcome::Of(LaunchStatus::RenameFailed, GetLastError());
    }
    return LaunchOutcome::Of(LaunchStatus::Ok);
}

LaunchOutcome StartLauncherAgain() {
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(AfxGetInstanceHandle(), self, MAX_PATH);
    RunLog(L"restarting the launcher");
    HINSTANCE result = ShellExecuteW(nullptr, L"open", self, nullptr, nullptr, SW_SHOW);
    if (reinterpret_cast<INT_PTR>(result) > 32) return LaunchOutcome::Of(LaunchStatus::Ok);
    const DWORD error = GetLastError();
    RunLog(L"the launcher cannot be started again (error %lu): %ls", error, self);
    return LaunchOutcome::Of(LaunchStatus::RestartFailed, error, PathFindFileNameW(self));
}
