#pragma once
// The launch as a state machine: its states, the events that reach it (from the window, from
// its workers, from the system) and the one table that says, for each state and event, the
// next state and what is done. Whatever the table does not list is refused, in one place
// (CLaunch::Handle).
#include <cstddef>

enum class LaunchState {
    Created,            // the window is being set up; nothing has started
    CheckingFiles,      // the package and the component files are checked, on a worker
    Preparing,          // an attempt: the main program renamed, verified or extracted again, and
                        // started suspended in its job, on a worker
    Running,            // the main program runs; a worker waits for its end
    Pausing,            // the main program has ended: a short pause before its exit code counts
    Finishing,          // its exit code decides what follows
    HandingOff,         // the updater or a new launcher is being started, on a worker
    Renaming,           // the main program's file gets its between-runs name back, on a worker
    ReportingStop,      // a box says why the start sequence stopped
    ReportingFailure,   // a box says why an attempt failed
    ReportingAfterRun,  // a box after the main program's run; the file is put back afterwards
    ReportingEnd,       // a last box; the launcher ends afterwards
    Stopped,            // the start sequence stopped; the window shows why
    Failed,             // an attempt failed; the window offers the continue link
    ConfirmingClose,    // the close question is up; what workers report waits for the answer
    Closing,            // the user ended the launcher; it ends once no worker is busy
    Ended,              // the modal loop ends; nothing more happens

    // Markers in the table, never a state the launch is in.
    Any,        // a row for every state
    Unchanged,  // the state stays as it is
    Resumed,    // back to the state the close question interrupted
};

enum class LaunchEvent {
    Start,              // the window is ready
    WorkDone,           // a worker is back; turned at once into one of the next six pairs
    FilesChecked,       // the package and the component files are the recorded ones
    FilesRejected,      // they are not, or the component is missing
    ProgramReady,       // the verified main program waits, suspended, in its job
    AttemptFailed,      // an attempt stopped before the program ran
    ProgramEnded,
    HandedOff,          // the updater was started, or none was needed
    HandOffFailed,      // the updater could not be started
    Restarted,          // a new launcher was started
    RestartFailed,
    RenamedBack,
    RenameFailed,
    PauseOver,
    ExitRestart,        // the exit code asks for a new launcher
    ExitReport,         // the exit code has a box of its own
    ExitHandOff,        // the exit code asks for the updater
    ExitFinish,         // a normal end: the updater only when an update is pending
    WorkersIdle,        // no worker is busy any more
    BoxAnswered,
    ContinueLink,       // the "继续加载" link, or a launch asked for in code
    ServiceLink,
    CloseButton,
    CloseConfirmed,     // the close question answered OK
    CloseCancelled,
    Escape,             // the dialog's cancel command
    Enter,              // the dialog's OK command
    CloseMessage,       // WM_CLOSE: Alt+F4, the taskbar, another program
    QueryEndSession,
    EndSession,
};

enum class LaunchAction {
    None,
    CheckFiles,           // the component present, then the data files on a worker
    ReportStop,           // the box that says why the start sequence stops
    ShowStopped,          // the status line, the download list where due, the window
    BeginAttempt,         // the continue link shown disabled; an attempt on a worker
    ReportFailure,        // the attempt's box
    OfferRetry,           // the window with the continue link enabled
    RunProgram,           // installation files let go, the program resumed, the window hidden, its end awaited
    Pause,
    ActOnExitCode,        // decides ExitRestart, ExitReport, ExitHandOff or ExitFinish
    Restart,              // the guard let go on its own thread, a new launcher started on a worker
    ReportExitCode,
    HandOff,              // the updater started on a worker
    HandOffIfPending,     // the same when an update is pending
    ReportOutcome,        // the box of the last worker's outcome
    MoveBack,             // the rename back on a worker
    End,
    StartServiceWindow,
    AskToClose,
    ConfirmClose,         // the work stopped, WM_CLOSE posted
    Defer,                // kept until the close question is answered
    Resume,               // what was kept meanwhile, handled now
    Abandon,              // the work stopped, the window hidden; ends once no worker is busy
    EndWhenIdle,
    DiscardAndEndWhenIdle,  // the suspended program ended unstarted first
    AllowSessionEnd,
    KeepProgramPastSessionEnd,  // the main program may finish its own session end
};

struct LaunchTransition {
    LaunchState state;
    LaunchEvent event;
    LaunchState next;
    LaunchAction action;
};

// The row for `event` in `state` (a row of its own first, then one for every state), or
// null: refused.
const LaunchTransition* FindTransition(LaunchState state, LaunchEvent event);

// Names for the run log.
const wchar_t* NameOf(LaunchState state);
const wchar_t* NameOf(LaunchEvent event);

// All rows, for the tests.
const LaunchTransition* TransitionTable(size_t& count);
