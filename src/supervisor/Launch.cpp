#include "supervisor/Launch.h"

#include <exception>

#include "framework/Codepage.h"
#include "supervisor/MainCommandLine.h"
#include "supervisor/ServiceWindow.h"
#include "supervisor/UpdateHandoff.h"
#include "util/DigestTask.h"
#include "util/InstallationNames.h"
#include "util/RunLog.h"

namespace {

// A wait shorter than this leaves the window unseen, as on every normal run.
const DWORD kShowProgressAfterMs = 1000;
const DWORD kProgressTickMs = 100;
// Between the main program's end and what its exit code asks for.
const DWORD kPauseAfterRunMs = 1000;

}  // namespace

CLaunch::CLaunch(const LaunchSettings& settings, ILaunchWindow& window)
    : m_settings(settings),
      m_window(window),
      m_presenter(settings.installation, settings.websiteUrl, *settings.boxes, *settings.pages),
      m_ownerThread(GetCurrentThreadId()) {}

CLaunch::~CLaunch() {
    m_worker.Cancel();
    m_worker.Join();
}

bool CLaunch::Handle(LaunchEvent event) {
    if (GetCurrentThreadId() != m_ownerThread) {
        RunLog(L"launch: %ls refused on thread %lu (the launch belongs to thread %lu)", NameOf(event),
               GetCurrentThreadId(), m_ownerThread);
        return false;
    }
    if (event == LaunchEvent::WorkDone) event = EventForWorkDone();
    const LaunchTransition* row = FindTransition(m_state, event);
    if (!row) {
        RunLog(L"launch: %ls refused in %ls", NameOf(event), NameOf(m_state));
        return false;
    }
    const LaunchState before = m_state;
    if (row->next == LaunchState::Resumed) {
        m_state = m_resumeState;
    } else if (row->next != LaunchState::Unchanged) {
        m_state = row->next;
    }
    if (m_state != before) RunLog(L"launch: %ls, %ls -> %ls", NameOf(event), NameOf(before), NameOf(m_state));
    Do(row->action, event, before);
    return true;
}

void CLaunch::Raise(LaunchEvent event) { Handle(event); }

LaunchEvent CLaunch::EventForWorkDone() {
    m_worker.Join();
    const Work work = m_work;
    m_work = Work::None;
    const bool ok = m_outcome.ok();
    switch (work) {
    case Work::CheckFiles:
        return ok ? LaunchEvent::FilesChecked : LaunchEvent::FilesRejected;
    case Work::Prepare:
        return ok ? LaunchEvent::ProgramReady : LaunchEvent::AttemptFailed;
    case Work::Wait:
        return LaunchEvent::ProgramEnded;
    case Work::HandOff:
        return ok ? LaunchEvent::HandedOff : LaunchEvent::HandOffFailed;
    case Work::Restart:
        return ok ? LaunchEvent::Restarted : LaunchEvent::RestartFailed;
    case Work::Rename:
        return ok ? LaunchEvent::RenamedBack : LaunchEvent::RenameFailed;
    case Work::None:
        break;
    }
    return LaunchEvent::WorkDone;  // nothing was running: refused by the table
}

void CLaunch::Do(LaunchAction action, LaunchEvent event, LaunchState before) {
    switch (action) {
    case LaunchAction::None:
        return;
    case LaunchAction::CheckFiles:
        CheckFiles();
        return;
    case LaunchAction::ReportStop:
        ReportStop();
        return;
    case LaunchAction::ShowStopped:
        ShowStopped();
        return;
    case LaunchAction::BeginAttempt:
        BeginAttempt();
        return;
    case LaunchAction::ReportFailure:
        ReportFailure();
        return;
    case LaunchAction::OfferRetry:
        OfferRetry();
        return;
    case LaunchAction::RunProgram:
        RunProgram();
        return;
    case LaunchAction::Pause:
        m_window.StartPause(kPauseAfterRunMs);
        return;
    case LaunchAction::ActOnExitCode:
        ActOnExitCode();
        return;
    case LaunchAction::Restart:
        Restart();
        return;
    case LaunchAction::ReportExitCode:
        Present(LaunchOutcome::Of(RuleForExitCode(m_exitCode).report));
        Raise(LaunchEvent::BoxAnswered);
        return;
    case LaunchAction::HandOff:
        HandOff(false);
        return;
    case LaunchAction::HandOffIfPending:
        HandOff(true);
        return;
    case LaunchAction::ReportOutcome:
        Present(m_outcome);
        Raise(LaunchEvent::BoxAnswered);
        return;
    case LaunchAction::MoveBack:
        MoveBack();
        return;
    case LaunchAction::End:
        End(event);
        return;
    case LaunchAction::StartServiceWindow:
        StartServiceWindow();
        return;
    case LaunchAction::AskToClose:
        AskToClose(before);
        return;
    case LaunchAction::ConfirmClose:
        // As the dialog's own close: WM_CLOSE, which the table then ends with.
        StopWork();
        m_window.Post(LaunchEvent::CloseMessage);
        return;
    case LaunchAction::Defer:
        m_deferred.push_back(event);
        return;
    case LaunchAction::Resume: {
        std::vector<LaunchEvent> deferred;
        deferred.swap(m_deferred);
        for (LaunchEvent kept : deferred) Handle(kept);
        return;
    }
    case LaunchAction::Abandon:
        StopWork();
        m_window.Hide();
        EndWhenIdle();
        return;
    case LaunchAction::EndWhenIdle:
        EndWhenIdle();
        return;
    case LaunchAction::DiscardAndEndWhenIdle:
        m_run.Discard();
        EndWhenIdle();
        return;
    case LaunchAction::AllowSessionEnd:
        RunLog(L"session end asked: allowed");
        return;
    case LaunchAction::KeepProgramPastSessionEnd:
        m_run.KeepPastSessionEnd();
        return;
    }
}

// ---------------------------------------------------------------------------------------
// The start sequence

void CLaunch::CheckFiles() {
    // A component file that failed its digest was never loaded; the data-file check names
    // it, in its place among the checks.
    if (!m_settings.component && !m_settings.componentNotShipped) {
        m_outcome = LaunchOutcome::Of(LaunchStatus::RuntimeMissingAtStart);
        Raise(LaunchEvent::FilesRejected);
        return;
    }
    StartWork(Work::CheckFiles, [this](HANDLE cancel) { m_outcome = VerifyDataFiles(Context(cancel)); });
}

void CLaunch::ReportStop() {
    m_window.EndProgress();
    Present(m_outcome);
    Raise(LaunchEvent::BoxAnswered);
}

void CLaunch::ShowStopped() {
    const OutcomeMessage message = MessageFor(m_outcome, m_settings.installation.folder);
    if (!message.status.IsEmpty()) m_window.SetStatusText(message.status);
    m_presenter.OpenStopPage(m_outcome);
    m_window.Show();
}

// ---------------------------------------------------------------------------------------
// An attempt

void CLaunch::BeginAttempt() {
    m_window.EndProgress();
    // Shown from now on, and offered should the attempt fail: the user can try again there.
    m_window.ShowContinueLink(false);
    if (!m_settings.component) {
        m_outcome = LaunchOutcome::Of(LaunchStatus::RuntimeMissingAtLaunch);
        Raise(LaunchEvent::AttemptFailed);
        return;
    }
    m_run.SetCommandLine(BuildMainCommandLine(m_settings.installation.PathOf(kMainProgramFile),
                                              m_settings.installation.folder, m_settings.serverAddress,
                                              m_settings.serverPort));
    StartWork(Work::Prepare, [this](HANDLE cancel) {
        IPackageExtractor& component = *m_settings.component;
        const Installation& installation = m_settings.installation;
        auto extract = [&](CString& errorText) {
            return component.ExtractFile(installation.PathOf(kProgramPackageFile), kPackagePassword,
                                         kPackageInfoTable, kPackageDataTable, installation.folder, kMainProgramFile,
                                         errorText);
        };
        m_outcome = PrepareMainProgram(Context(cancel), extract, m_run);
    });
}

void CLaunch::ReportFailure() {
    m_window.EndProgress();
    Present(m_outcome);
    Raise(LaunchEvent::BoxAnswered);
}

void CLaunch::OfferRetry() {
    // Hidden while a program ran, or never shown yet: the user can retry or close it here
    // rather than leave a launcher running unseen. The link is ready before it is seen.
    m_window.ShowContinueLink(true);
    m_window.Show();
}

void CLaunch::RunProgram() {
    m_window.EndProgress();
    // Nothing of the installation is held while the main program runs.
    if (m_settings.installation.prefetch) m_settings.installation.prefetch->AbandonAll();
    m_window.Hide();
    m_run.Resume();
    StartWork(Work::Wait, [this](HANDLE cancel) {
        if (!m_run.WaitForExit(cancel, m_exitCode)) m_exitCode = 0;
    });
}

// ---------------------------------------------------------------------------------------
// After the run

void CLaunch::ActOnExitCode() {
    switch (RuleForExitCode(m_exitCode).action) {
    case ExitAction::RestartLauncher:
        Raise(LaunchEvent::ExitRestart);
        return;
    case ExitAction::Report:
        Raise(LaunchEvent::ExitReport);
        return;
    case ExitAction::RunUpdater:
        Raise(LaunchEvent::ExitHandOff);
        return;
    case ExitAction::Finish:
        Raise(LaunchEvent::ExitFinish);
        return;
    }
}

void CLaunch::Restart() {
    // The new launcher needs the guard free; only this thread, which took it, can give it
    // back. The file keeps its program name.
    if (m_settings.guard) m_settings.guard->Release();
    StartWork(Work::Restart, [this](HANDLE) { m_outcome = StartLauncherAgain(); });
}

void CLaunch::HandOff(bool onlyWhenPending) {
    StartWork(Work::HandOff, [this, onlyWhenPending](HANDLE) {
        const CString& folder = m_settings.installation.folder;
        m_outcome = onlyWhenPending && !IsUpdatePendingIn(folder) ? LaunchOutcome::Of(LaunchStatus::Ok)
                                                                   : StartUpdater(folder);
    });
}

void CLaunch::MoveBack() {
    // A cache file left by an earlier run is stale: the program that just ran was verified
    // against the recorded digest, so it takes that place. Should the rename fail, the user
    // is told and the launcher ends anyway; the program stays under its own name and is
    // used next time (in a folder that cannot be written, silently).
    StartWork(Work::Rename, [this](HANDLE) { m_outcome = RestoreCacheName(m_settings.installation.folder); });
}

void CLaunch::End(LaunchEvent event) {
    StopWork();
    switch (event) {
    case LaunchEvent::Enter:
        m_window.EndModalLoop(IDOK);  // the dialog's OK command
        return;
    case LaunchEvent::Escape:
    case LaunchEvent::CloseMessage:
    case LaunchEvent::WorkersIdle:
        m_window.EndModalLoop(IDCANCEL);  // the dialog's cancel command
        return;
    default:
        m_window.EndModalLoop(-1);
        return;
    }
}

// ---------------------------------------------------------------------------------------
// The window's links and the close question

void CLaunch::StartServiceWindow() {
    Present(::StartServiceWindow(m_settings.installation.folder, m_settings.serverAddress, m_settings.serverPort));
}

void CLaunch::AskToClose(LaunchState interrupted) {
    // A second question while the first is up (the close button clicked again) resumes, when
    // both are cancelled, what the first one interrupted.
    if (m_openQuestions++ == 0) m_resumeState = interrupted;
    const int answer = Present(LaunchOutcome::Of(LaunchStatus::CloseQuestion));
    --m_openQuestions;
    if (answer == IDOK) {
        Raise(LaunchEvent::CloseConfirmed);
    } else if (m_openQuestions == 0) {
        Raise(LaunchEvent::CloseCancelled);
    }
}

void CLaunch::StopWork() {
    m_deferred.clear();
    m_worker.Cancel();
    if (m_settings.installation.prefetch) m_settings.installation.prefetch->AbandonAll();
    // A program created but not yet let run never runs now.
    if (m_work != Work::Prepare && m_work != Work::Wait) m_run.Discard();
}

void CLaunch::EndWhenIdle() {
    if (!m_worker.Busy()) Raise(LaunchEvent::WorkersIdle);
}

// ---------------------------------------------------------------------------------------
// Workers

void CLaunch::StartWork(Work kind, std::function<void(HANDLE cancel)> work) {
    m_work = kind;
    // A standard exception ends the step as a failure the user is told of (a program created
    // but not let run goes with it); the launcher goes on.
    auto guarded = [this, work](HANDLE cancel) {
        try {
            work(cancel);
        } catch (const std::exception& e) {
            m_run.Discard();
            m_outcome = LaunchOutcome::Of(LaunchStatus::Exception, 0, NarrowToWide(e.what()));
        }
    };
    if (!m_worker.Start(guarded, [this] { m_window.Post(LaunchEvent::WorkDone); })) {
        // No thread to be had: the step says so as a failed step, through the same path.
        m_outcome = LaunchOutcome::Of(LaunchStatus::Exception, 0, L"no worker thread");
        m_window.Post(LaunchEvent::WorkDone);
    }
}

VerificationContext CLaunch::Context(HANDLE cancel) {
    VerificationContext context;
    context.installation = m_settings.installation;
    context.cancel = cancel;
    context.wait = [this, cancel](CDigestTask& task, const wchar_t* what) {
        return WaitShowingProgress(task, what, cancel);
    };
    return context;
}

// On a worker: waits for the digest; past a second the window is told how far it has got.
bool CLaunch::WaitShowingProgress(CDigestTask& task, const wchar_t* what, HANDLE cancel) {
    const DWORD started = GetTickCount();
    HANDLE waitFor[2] = {task.DoneEvent(), cancel};
    for (;;) {
        const DWORD woke = WaitForMultipleObjects(2, waitFor, FALSE, kProgressTickMs);
        if (woke == WAIT_OBJECT_0) return true;
        if (woke != WAIT_TIMEOUT) return false;
        if (GetTickCount() - started < kShowProgressAfterMs) continue;
        const DigestProgress& progress = task.Progress();
        const unsigned long long total = progress.total;
        m_window.PostProgress(what, total ? static_cast<int>(progress.done * 100 / total) : 0);
    }
}

void CLaunch::OnProgress(const wchar_t* what, int percent) {
    const LaunchState working = m_state == LaunchState::ConfirmingClose ? m_resumeState : m_state;
    if (working != LaunchState::CheckingFiles && working != LaunchState::Preparing) return;
    m_window.ShowProgress(what, percent);
}

int CLaunch::Present(const LaunchOutcome& outcome) { return m_presenter.Present(outcome); }
