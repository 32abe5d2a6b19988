#pragma once
// One launch of the main program, from the start sequence to the action on its exit code,
// as a window-free object with explicit states. It is given everything it works with (the
// installation, the component, the service endpoint, the presenters, the window it reports
// to) and refuses what its state does not allow: a second launch while one is under way
// (the window answers while digests run, so the continue link can be clicked then) never
// starts. Every outcome it meets is presented through OutcomeMessages; before any box
// appears, the installation's files are let go.
#include "component/RuntimeComponent.h"
#include "framework/CString.h"
#include "framework/Handles.h"
#include "framework/Presenters.h"
#include "supervisor/Verification.h"
#include "util/Installation.h"
#include "util/LaunchOutcome.h"

// What the launch needs of the window it runs in (the splash dialog).
class ILaunchWindow {
public:
    virtual void SetStatusText(const CString& text) = 0;
    // Shows the "继续加载" link, enabled only while a new attempt may start.
    virtual void ShowContinueLink(bool enabled) = 0;
    virtual void Hide() = 0;
    virtual void Show() = 0;
    // Keeps the window answering until the digest is over (past a second, showing how far it
    // has got); false when the user closed the window meanwhile.
    virtual bool WaitForDigest(CDigestTask& task, const wchar_t* what) = 0;
    // The launcher's work is done: the window's modal loop ends.
    virtual void EndModalLoop() = 0;

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
    UniqueOwnedMutex* guard = nullptr;       // the single-instance guard, let go before a restart
    IMessageBoxPresenter* boxes = &MessageBoxPresenter();
    IWebPagePresenter* pages = &WebPagePresenter();
};

enum class LaunchState {
    Idle,       // nothing under way: a launch may start (also after one failed)
    Verifying,  // the start sequence or a launch attempt checks, renames or extracts files
    Running,    // the main program runs
    Finishing,  // the main program has ended: its exit code is acted on and the launcher ends
    Stopped,    // the start sequence stopped early or the user closed the window: nothing more starts
};

class CLaunch {
public:
    CLaunch(const LaunchSettings& settings, ILaunchWindow& window);
    CLaunch(const CLaunch&) = delete;
    CLaunch& operator=(const CLaunch&) = delete;

    LaunchState State() const { return m_state; }

    // The runtime check, the data files, then the launch. True when it stopped early with a
    // reason on the status line; false when it reached the launch.
    bool RunStartSequence();
    // One attempt: verify (or extract again) the main program, run it in its job, act on its
    // exit code. True when it stopped with a message before the program ran, or was refused
    // because a launch is under way or over.
    bool LaunchMainProgram();
    // The data files against their digests; one box on false.
    bool ValidateDataFiles();
    // The main program verified or extracted again, handed back held; one box on false.
    bool EnsureMainProgram(CVerifiedProgram& program);
    bool IsUpdatePending() const;
    // Starts the updater; true when it started. A missing updater is shown when bReportMissing.
    bool RunUpdater(bool bReportMissing);
    // The "在线客服" link: the service window, once; true when it was started.
    bool StartServiceWindow();

private:
    VerificationContext Context();
    LaunchOutcome StartChecks();
    bool LaunchNow();
    LaunchOutcome Attempt();
    LaunchOutcome PrepareProgram(CVerifiedProgram& program);
    LaunchOutcome RunToTheEnd(CVerifiedProgram& program);
    void ActOnExitCode(DWORD exitCode);
    void RestartLauncher();
    void MoveProgramBack();
    void StopEarly(const LaunchOutcome& outcome);
    void Fail(const LaunchOutcome& outcome);
    void Present(const LaunchOutcome& outcome);
    void ReleaseInstallationFiles();

    LaunchSettings m_settings;
    ILaunchWindow& m_window;
    LaunchState m_state = LaunchState::Idle;
    bool m_bHidden = false;  // hidden while the main program ran
};
