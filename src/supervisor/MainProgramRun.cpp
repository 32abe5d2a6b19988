#include "supervisor/MainProgramRun.h"

#include <string>

#include "supervisor/JobObject.h"
#include "util/FileHelpers.h"
#include "util/FileRetry.h"
#include "util/InstallationNames.h"
#include "util/RunLog.h"

LaunchOutcome CMainProgramRun::Start(CVerifiedProgram& program, const CString& commandLine) {
    m_job = CreateKillOnCloseJob();

    // CreateProcessW may write into the command line: hand it a private copy.
    std::wstring writable(commandLine.Str());
    writable.push_back(L'\0');
    STARTUPINFOW startup;
    ZeroMemory(&startup, sizeof startup);
    startup.cb = sizeof startup;
    const BOOL started = CreateProcessW(nullptr, &writable[0], nullptr, nullptr, FALSE, CREATE_BREAKAWAY_FROM_JOB,
                                        nullptr, nullptr, &startup, m_process.put());
    const DWORD error = started ? ERROR_SUCCESS : GetLastError();
    program.file.reset();
    if (!started) {
        RunLog(L"start of %ls failed: %u", program.path.GetString(), error);
        m_job.reset();
        return LaunchOutcome::Of(LaunchStatus::StartFailed, error);
    }
    RunLog(L"main program started: process %u", static_cast<unsigned>(m_process.get().dwProcessId));
    return LaunchOutcome::Of(LaunchStatus::Ok);
}

DWORD CMainProgramRun::WaitForExit() {
    if (m_job && AssignProcessToJobObject(m_job.get(), m_process.process())) {
        HANDLE waitFor[2] = {m_process.process(), m_job.get()};
        WaitForMultipleObjects(2, waitFor, FALSE, INFINITE);
    } else {
        WaitForSingleObject(m_process.process(), INFINITE);
    }
    m_job.reset();
    DWORD exitCode = 0;
    GetExitCodeProcess(m_process.process(), &exitCode);
    m_process.reset();
    RunLog(L"main program ended: exit code %u", static_cast<unsigned>(exitCode));
    return exitCode;
}

ExitAction ActionForExitCode(DWORD exitCode) {
    switch (exitCode) {
    case 4:
        return ExitAction::RestartLauncher;
    case 2:
        return ExitAction::ReportBadArguments;
    case 6:
        return ExitAction::RunUpdater;
    default:
        return ExitAction::Finish;
    }
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
