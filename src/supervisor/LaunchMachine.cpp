#include "supervisor/LaunchMachine.h"

namespace {

using S = LaunchState;
using E = LaunchEvent;
using A = LaunchAction;

// Read a row as: in this state, on this event, go to that state and do this.
constexpr LaunchTransition kTransitions[] = {
    {S::Created, E::Start, S::CheckingFiles, A::CheckFiles},

    {S::CheckingFiles, E::FilesChecked, S::Preparing, A::BeginAttempt},
    {S::CheckingFiles, E::FilesRejected, S::ReportingStop, A::ReportStop},
    {S::CheckingFiles, E::ServiceLink, S::Unchanged, A::StartServiceWindow},
    {S::CheckingFiles, E::CloseButton, S::ConfirmingClose, A::AskToClose},
    {S::CheckingFiles, E::Escape, S::Closing, A::Abandon},
    {S::CheckingFiles, E::Enter, S::Closing, A::Abandon},
    {S::CheckingFiles, E::CloseMessage, S::Closing, A::Abandon},

    {S::Preparing, E::ProgramReady, S::Running, A::RunProgram},
    {S::Preparing, E::AttemptFailed, S::ReportingFailure, A::ReportFailure},
    {S::Preparing, E::ServiceLink, S::Unchanged, A::StartServiceWindow},
    {S::Preparing, E::CloseButton, S::ConfirmingClose, A::AskToClose},
    {S::Preparing, E::Escape, S::Closing, A::Abandon},
    {S::Preparing, E::Enter, S::Closing, A::Abandon},
    {S::Preparing, E::CloseMessage, S::Closing, A::Abandon},

    // The window is hidden and the launcher stays until the main program ends: nothing of the
    // user's can end it meanwhile (a close request from another program is refused).
    {S::Running, E::ProgramEnded, S::Pausing, A::Pause},
    {S::Running, E::EndSession, S::Unchanged, A::KeepProgramPastSessionEnd},

    {S::Pausing, E::PauseOver, S::Finishing, A::ActOnExitCode},

    {S::Finishing, E::ExitRestart, S::HandingOff, A::Restart},
    {S::Finishing, E::ExitReport, S::ReportingAfterRun, A::ReportExitCode},
    {S::Finishing, E::ExitHandOff, S::HandingOff, A::HandOff},
    {S::Finishing, E::ExitFinish, S::HandingOff, A::HandOffIfPending},

    {S::HandingOff, E::HandedOff, S::Renaming, A::MoveBack},
    {S::HandingOff, E::HandOffFailed, S::ReportingAfterRun, A::ReportOutcome},
    {S::HandingOff, E::Restarted, S::Ended, A::End},
    {S::HandingOff, E::RestartFailed, S::ReportingEnd, A::ReportOutcome},

    {S::ReportingAfterRun, E::BoxAnswered, S::Renaming, A::MoveBack},

    {S::Renaming, E::RenamedBack, S::Ended, A::End},
    {S::Renaming, E::RenameFailed, S::ReportingEnd, A::ReportOutcome},

    {S::ReportingEnd, E::BoxAnswered, S::Ended, A::End},

    {S::ReportingStop, E::BoxAnswered, S::Stopped, A::ShowStopped},
    {S::ReportingStop, E::ServiceLink, S::Unchanged, A::StartServiceWindow},
    {S::ReportingStop, E::CloseButton, S::ConfirmingClose, A::AskToClose},
    {S::ReportingStop, E::Escape, S::Closing, A::Abandon},
    {S::ReportingStop, E::Enter, S::Closing, A::Abandon},
    {S::ReportingStop, E::CloseMessage, S::Closing, A::Abandon},

    {S::ReportingFailure, E::BoxAnswered, S::Failed, A::OfferRetry},
    {S::ReportingFailure, E::ServiceLink, S::Unchanged, A::StartServiceWindow},
    {S::ReportingFailure, E::CloseButton, S::ConfirmingClose, A::AskToClose},
    {S::ReportingFailure, E::Escape, S::Closing, A::Abandon},
    {S::ReportingFailure, E::Enter, S::Closing, A::Abandon},
    {S::ReportingFailure, E::CloseMessage, S::Closing, A::Abandon},

    {S::Stopped, E::ServiceLink, S::Unchanged, A::StartServiceWindow},
    {S::Stopped, E::CloseButton, S::ConfirmingClose, A::AskToClose},
    {S::Stopped, E::Escape, S::Ended, A::End},
    {S::Stopped, E::Enter, S::Ended, A::End},
    {S::Stopped, E::CloseMessage, S::Ended, A::End},

    {S::Failed, E::ContinueLink, S::Preparing, A::BeginAttempt},
    {S::Failed, E::ServiceLink, S::Unchanged, A::StartServiceWindow},
    {S::Failed, E::CloseButton, S::ConfirmingClose, A::AskToClose},
    {S::Failed, E::Escape, S::Ended, A::End},
    {S::Failed, E::Enter, S::Ended, A::End},
    {S::Failed, E::CloseMessage, S::Ended, A::End},

    // What a worker reports while the question is up waits for the answer: an OK must find
    // nothing started.
    {S::ConfirmingClose, E::CloseConfirmed, S::Closing, A::ConfirmClose},
    {S::ConfirmingClose, E::CloseCancelled, S::Resumed, A::Resume},
    {S::ConfirmingClose, E::CloseButton, S::ConfirmingClose, A::AskToClose},
    {S::ConfirmingClose, E::FilesChecked, S::Unchanged, A::Defer},
    {S::ConfirmingClose, E::FilesRejected, S::Unchanged, A::Defer},
    {S::ConfirmingClose, E::ProgramReady, S::Unchanged, A::Defer},
    {S::ConfirmingClose, E::AttemptFailed, S::Unchanged, A::Defer},
    {S::ConfirmingClose, E::ServiceLink, S::Unchanged, A::StartServiceWindow},
    {S::ConfirmingClose, E::Escape, S::Closing, A::Abandon},
    {S::ConfirmingClose, E::Enter, S::Closing, A::Abandon},
    {S::ConfirmingClose, E::CloseMessage, S::Closing, A::Abandon},

    {S::Closing, E::CloseMessage, S::Unchanged, A::EndWhenIdle},
    {S::Closing, E::BoxAnswered, S::Unchanged, A::EndWhenIdle},
    {S::Closing, E::FilesChecked, S::Unchanged, A::EndWhenIdle},
    {S::Closing, E::FilesRejected, S::Unchanged, A::EndWhenIdle},
    {S::Closing, E::AttemptFailed, S::Unchanged, A::EndWhenIdle},
    {S::Closing, E::ProgramReady, S::Unchanged, A::DiscardAndEndWhenIdle},
    {S::Closing, E::WorkersIdle, S::Ended, A::End},

    {S::Ended, E::EndSession, S::Unchanged, A::None},

    // The session ends: answered at once, whatever the launcher does; it does not wait to end.
    {S::Any, E::QueryEndSession, S::Unchanged, A::AllowSessionEnd},
    {S::Any, E::EndSession, S::Ended, A::End},
};

}  // namespace

const LaunchTransition* FindTransition(LaunchState state, LaunchEvent event) {
    for (const LaunchTransition& row : kTransitions) {
        if (row.state == state && row.event == event) return &row;
    }
    for (const LaunchTransition& row : kTransitions) {
        if (row.state == LaunchState::Any && row.event == event) return &row;
    }
    return nullptr;
}

const LaunchTransition* TransitionTable(size_t& count) {
    count = sizeof kTransitions / sizeof kTransitions[0];
    return kTransitions;
}

const wchar_t* NameOf(LaunchState state) {
    switch (state) {
    case S::Created: return L"Created";
    case S::CheckingFiles: return L"CheckingFiles";
    case S::Preparing: return L"Preparing";
    case S::Running: return L"Running";
    case S::Pausing: return L"Pausing";
    case S::Finishing: return L"Finishing";
    case S::HandingOff: return L"HandingOff";
    case S::Renaming: return L"Renaming";
    case S::ReportingStop: return L"ReportingStop";
    case S::ReportingFailure: return L"ReportingFailure";
    case S::ReportingAfterRun: return L"ReportingAfterRun";
    case S::ReportingEnd: return L"ReportingEnd";
    case S::Stopped: return L"Stopped";
    case S::Failed: return L"Failed";
    case S::ConfirmingClose: return L"ConfirmingClose";
    case S::Closing: return L"Closing";
    case S::Ended: return L"Ended";
    case S::Any: return L"Any";
    case S::Unchanged: return L"Unchanged";
    case S::Resumed: return L"Resumed";
    }
    return L"?";
}

const wchar_t* NameOf(LaunchEvent event) {
    switch (event) {
    case E::Start: return L"Start";
    case E::WorkDone: return L"WorkDone";
    case E::FilesChecked: return L"FilesChecked";
    case E::FilesRejected: return L"FilesRejected";
    case E::ProgramReady: return L"ProgramReady";
    case E::AttemptFailed: return L"AttemptFailed";
    case E::ProgramEnded: return L"ProgramEnded";
    case E::HandedOff: return L"HandedOff";
    case E::HandOffFailed: return L"HandOffFailed";
    case E::Restarted: return L"Restarted";
    case E::RestartFailed: return L"RestartFailed";
    case E::RenamedBack: return L"RenamedBack";
    case E::RenameFailed: return L"RenameFailed";
    case E::PauseOver: return L"PauseOver";
    case E::ExitRestart: return L"ExitRestart";
    case E::ExitReport: return L"ExitReport";
    case E::ExitHandOff: return L"ExitHandOff";
    case E::ExitFinish: return L"ExitFinish";
    case E::WorkersIdle: return L"WorkersIdle";
    case E::BoxAnswered: return L"BoxAnswered";
    case E::ContinueLink: return L"ContinueLink";
    case E::ServiceLink: return L"ServiceLink";
    case E::CloseButton: return L"CloseButton";
    case E::CloseConfirmed: return L"CloseConfirmed";
    case E::CloseCancelled: return L"CloseCancelled";
    case E::Escape: return L"Escape";
    case E::Enter: return L"Enter";
    case E::CloseMessage: return L"CloseMessage";
    case E::QueryEndSession: return L"QueryEndSession";
    case E::EndSession: return L"EndSession";
    }
    return L"?";
}
