#include "supervisor/Launch.h"

#include <shellapi.h>

#include <exception>

#include "framework/Codepage.h"
#include "framework/WinApp.h"
#include "supervisor/MainCommandLine.h"
#include "supervisor/MainProgramRun.h"
#include "supervisor/OutcomeMessages.h"
#include "supervisor/ServiceWindow.h"
#include "supervisor/UpdateHandoff.h"
#include "util/DigestTask.h"
#include "util/InstallationNames.h"
#include "util/RunLog.h"

CLaunch::CLaunch(const LaunchSettings& settings, ILaunchWindow& window) : m_settings(settings), m_window(window) {}

VerificationContext CLaunch::Context() {
    VerificationContext context;
    context.installation = m_settings.installation;
    context.wait = [this](CDigestTask& task, const wchar_t* what) { return m_window.WaitForDigest(task, what); };
    return context;
}

bool CLaunch::RunStartSequence() {
    if (m_state != LaunchState::Idle) return true;
    m_state = LaunchState::Verifying;
    const LaunchOutcome outcome = StartChecks();
    if (!outcome.ok()) {
        StopEarly(outcome);
        return true;
    }
    // Shown from now on, and offered should the launch fail: the user can try again there.
    m_window.ShowContinueLink(false);
    LaunchNow();
    return false;
}

LaunchOutcome CLaunch::StartChecks() {
    // A component file that failed its digest was never loaded; the data-file check names
    // it, in its place among the checks.
    if (!m_settings.component && !m_settings.componentNotShipped) {
        return LaunchOutcome::Of(LaunchStatus::RuntimeMissingAtStart);
    }
    return VerifyDataFiles(Context());
}

void CLaunch::StopEarly(const LaunchOutcome& outcome) {
    m_state = LaunchState::Stopped;
    ReleaseInstallationFiles();
    if (outcome.status == LaunchStatus::Abandoned) return;  // closed by the user while it waited
    if (outcome.status == LaunchStatus::RuntimeMissingAtStart) {
        m_window.SetStatusText(StatusTextFor(outcome));
        Present(outcome);
        return;
    }
    Present(outcome);
    m_window.SetStatusText(StatusTextFor(outcome));
    m_settings.pages->Open(m_settings.websiteUrl + L"/softlist");
}

bool CLaunch::LaunchMainProgram() {
    if (m_state != LaunchState::Idle) {
        RunLog(L"launch refused: a launch is under way or over");
        return true;
    }
    m_state = LaunchState::Verifying;
    m_window.ShowContinueLink(false);
    return LaunchNow();
}

bool CLaunch::LaunchNow() {
    const LaunchOutcome outcome = Attempt();
    if (outcome.ok()) return false;
    Fail(outcome);
    return true;
}

void CLaunch::Fail(const LaunchOutcome& outcome) {
    ReleaseInstallationFiles();
    if (outcome.status == LaunchStatus::Abandoned) {
        m_state = LaunchState::Stopped;
        return;
    }
    Present(outcome);
    // Hidden while the program ran: shown again, so that the user can retry or close it
    // rather than leaving a launcher running unseen.
    if (m_bHidden) m_window.Show();
    m_bHidden = false;
    m_state = LaunchState::Idle;
    m_window.ShowContinueLink(true);
}

LaunchOutcome CLaunch::Attempt() {
    try {
        // Held from its verification until it has started, and let go on every path.
        CVerifiedProgram program;
        const LaunchOutcome prepared = PrepareProgram(program);
        return prepared.ok() ? RunToTheEnd(program) : prepared;
    } catch (const std::exception& e) {
        return LaunchOutcome::Of(LaunchStatus::Exception, 0, NarrowToWide(e.what()));
    }
}

LaunchOutcome CLaunch::PrepareProgram(CVerifiedProgram& program) {
    if (!m_settings.component) return LaunchOutcome::Of(LaunchStatus::RuntimeMissingAtLaunch);
    IPackageExtractor& component = *m_settings.component;
    const Installation& installation = m_settings.installation;
    auto extract = [&](CString& errorText) {
        return component.ExtractFile(installation.PathOf(kProgramPackageFile), kPackagePassword, kPackageInfoTable,
                                     kPackageDataTable, installation.folder, kMainProgramFile, errorText);
    };
    return PrepareMainProgram(Context(), extract, program);
}

LaunchOutcome CLaunch::RunToTheEnd(CVerifiedProgram& program) {
    CMainProgramRun run;
    const LaunchOutcome started =
        run.Start(program, BuildMainCommandLine(program.path, m_settings.installation.folder,
                                                m_settings.serverAddress, m_settings.serverPort));
    if (!started.ok()) return started;
    ReleaseInstallationFiles();
    m_state = LaunchState::Running;
    m_window.Hide();
    m_bHidden = true;

    const DWORD exitCode = run.WaitForExit();
    m_state = LaunchState::Finishing;
    Sleep(1000);
    ActOnExitCode(exitCode);
    m_window.EndModalLoop();
    return LaunchOutcome::Of(LaunchStatus::Ok);
}

void CLaunch::ActOnExitCode(DWORD exitCode) {
    const ExitAction action = ActionForExitCode(exitCode);
    if (action == ExitAction::RestartLauncher) {
        // The new launcher needs the guard free; the file keeps its program name.
        RestartLauncher();
        return;
    }
    if (action == ExitAction::ReportBadArguments) {
        Present(LaunchOutcome::Of(LaunchStatus::BadArguments));
    } else if (action == ExitAction::RunUpdater || IsUpdatePending()) {
        RunUpdater(true);
    }
    MoveProgramBack();
}

void CLaunch::RestartLauncher() {
    if (m_settings.guard) m_settings.guard->reset();
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(AfxGetInstanceHandle(), self, MAX_PATH);
    RunLog(L"restarting the launcher");
    ShellExecuteW(nullptr, L"open", self, nullptr, nullptr, SW_SHOW);
}

void CLaunch::MoveProgramBack() {
    // A cache file left by an earlier run is stale: the program that just ran was verified
    // against the recorded digest, so it takes that place. Should the rename still fail,
    // the user is told and the launcher ends anyway; the program stays under its own name
    // and is used next time (in a folder that cannot be written, silently).
    Present(RestoreCacheName(m_settings.installation.folder));
}

bool CLaunch::ValidateDataFiles() {
    const LaunchOutcome outcome = VerifyDataFiles(Context());
    if (!outcome.ok()) Present(outcome);
    return outcome.ok();
}

bool CLaunch::EnsureMainProgram(CVerifiedProgram& program) {
    const LaunchOutcome outcome = PrepareProgram(program);
    if (!outcome.ok()) Present(outcome);
    return outcome.ok();
}

bool CLaunch::IsUpdatePending() const { return IsUpdatePendingIn(m_settings.installation.folder); }

bool CLaunch::RunUpdater(bool bReportMissing) {
    const LaunchOutcome outcome = StartUpdater(m_settings.installation.folder);
    if (outcome.status != LaunchStatus::UpdaterMissing || bReportMissing) Present(outcome);
    return outcome.ok();
}

bool CLaunch::StartServiceWindow() {
    const LaunchOutcome outcome =
        ::StartServiceWindow(m_settings.installation.folder, m_settings.serverAddress, m_settings.serverPort);
    Present(outcome);
    return outcome.ok();
}

void CLaunch::Present(const LaunchOutcome& outcome) {
    // Nobody is kept from the installation's files while the user reads.
    ReleaseInstallationFiles();
    PresentOutcome(outcome, m_settings.installation.folder, *m_settings.boxes, *m_settings.pages);
}

void CLaunch::ReleaseInstallationFiles() {
    if (m_settings.installation.prefetch) m_settings.installation.prefetch->AbandonAll();
}
