#pragma once
// One launch of the main program, from the start sequence to the action on its exit code,
// as a window-free state machine (supervisor/LaunchMachine.h) that lives on the window's
// thread and never blocks it: every step that can take long (digests, renames and their
// retries, folder probes, the component's extraction, the wait for the main program, the
// updater and a new launcher) runs on a worker, which posts back through the window when it
// is done. Every outcome it meets is shown through one presenter, which lets go of the
// installation's files before any box.
#include <memory>
#include <vector>

#include "component/RuntimeComponent.h"
#include "framework/CString.h"
#include "framework/Presenters.h"
#include "supervisor/LaunchMachine.h"
#include "supervisor/LaunchOutcome.h"
#include "supervisor/MainProgramRun.h"
#include "supervisor/OutcomeMessages.h"
#include "supervisor/Verification.h"
#include "supervisor/Worker.h"
#include "util/Installation.h"
#include "util/ThreadOwnedMutex.h"

// What the launch needs of the window it runs in (the splash dialog). Post and PostProgress
// may be called from any thread; everything else from the window's own thread.
class ILaunchWindow {
public:
    virtual void SetStatusText(const CString& text) = 0;
    // Shows the "继续加载" link, enabled only while a new attempt may start.
    virtual void ShowContinueLink(bool enabled) = 0;
    virtual void Hide() = 0;
    // Shows the window; the first time where it stands once initialised (centred).
    virtual void Show() = 0;
    // Hands `event` to CLaunch::Handle on the window's thread, through its message queue.
    virtual void Post(LaunchEvent event) = 0;
    // A digest the launch has waited for over a second has got to `percent`: handed to
    // CLaunch::OnProgress on the window's thread. `what` is a file name of static storage.
    virtual void PostProgress(const wchar_t* what, int percent) = 0;
    // The status line says how far the digest of `what` has got (the window shows itself).
    virtual void ShowProgress(const wchar_t* what, int percent) = 0;
    // The percentage is over: the status line gets back the text it had before.
    virtual void EndProgress() = 0;
    // LaunchEvent::PauseOver after `ms` milliseconds.
    virtual void StartPause(DWORD ms) = 0;
    // The window's modal loop ends: with `result` (IDOK, IDCANCEL) when the user ended it,
    // through WM_QUIT (result -1) when the launcher's work is done.
    virtual void EndModalLoop(int result) = 0;

protected:
    ~ILaunchWindow() = default;
};

struct LaunchSettings {
    Installation installation;
    IPackageExtractor* component = nullptr;  // null: the component is not loaded
    bool componentNotShipped = false;        // not loaded because a file is not the shipped one
    CString websiteUrl;                      // scheme and host of the product website
    CString serverAddress;                   // the service endpoint, for the main program and the service window
    CString serverPort;
    CThreadOwnedMutex* guard = nullptr;      // the single-instance guard, let go before a restart
    IMessageBoxPresenter* boxes = &MessageBoxPresenter();
    IWebPagePresenter* pages = &WebPagePresenter();
};

class CLaunch {
public:
    CLaunch(const LaunchSettings& settings, ILaunchWindow& window);
    // Stops what still runs (the component's extraction cannot be stopped: it is waited for).
    ~CLaunch();
    CLaunch(const CLaunch&) = delete;
    CLaunch& operator=(const CLaunch&) = delete;

    LaunchState State() const { return m_state; }

    // The one transition function: the table's row for the event in the current state, its
    // next state, its action. False when the event is refused (no row, or not called on the
    // thread that made the launch). A worker's LaunchEvent::WorkDone is first turned into
    // the event its outcome means.
    bool Handle(LaunchEvent event);
    // A digest's progress, posted by a worker; shown only while the work it belongs to counts.
    void OnProgress(const wchar_t* what, int percent);

private:
    enum class Work { None, CheckFiles, Prepare, Wait, HandOff, Restart, Rename };

    void Do(LaunchAction action, LaunchEvent event, LaunchState before);
    LaunchEvent EventForWorkDone();
    void Raise(LaunchEvent event);

    // Actions.
    void CheckFiles();
    void ReportStop();
    void ShowStopped();
    void BeginAttempt();
    void ReportFailure();
    void OfferRetry();
    void RunProgram();
    void ActOnExitCode();
    void Restart();
    void HandOff(bool onlyWhenPending);
    void MoveBack();
    void End(LaunchEvent event);
    void StartServiceWindow();
    void AskToClose(LaunchState interrupted);
    void StopWork();
    void EndWhenIdle();

    // Runs `work` on the worker; LaunchEvent::WorkDone is posted when it returns.
    void StartWork(Work kind, std::function<void(HANDLE cancel)> work);
    VerificationContext Context(HANDLE cancel);
    bool WaitShowingProgress(CDigestTask& task, const wchar_t* what, HANDLE cancel);
    int Present(const LaunchOutcome& outcome);

    LaunchSettings m_settings;
    ILaunchWindow& m_window;
    COutcomePresenter m_presenter;
    const DWORD m_ownerThread;
    LaunchState m_state = LaunchState::Created;

    // Left by the step that decided it; read by the next action. Written by a worker only
    // while it runs, read on the window's thread only after it is back (joined).
    LaunchOutcome m_outcome;
    DWORD m_exitCode = 0;
    CMainProgramRun m_run;

    Work m_work = Work::None;
    CWorker m_worker;

    // The close question: how many are open, the state the first one interrupted, and what
    // workers reported meanwhile.
    int m_openQuestions = 0;
    LaunchState m_resumeState = LaunchState::Created;
    std::vector<LaunchEvent> m_deferred;
    bool m_bProgressShown = false;
};
