// The launch's transition table as a table: what the user can do in each state and where it
// leads, where the workers' reports are taken, waited for or dropped, that every state can
// reach the end and none is left behind, and that the table is kept on its own thread.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <thread>

#include "framework/Codepage.h"
#include "support/LaunchSupport.h"
#include "support/TestSupport.h"
#include "supervisor/LaunchMachine.h"

namespace {

using S = LaunchState;
using E = LaunchEvent;

const S kStates[] = {S::Created,          S::CheckingFiles,   S::Preparing,         S::Running,
                     S::Pausing,          S::Finishing,       S::HandingOff,        S::Renaming,
                     S::ReportingStop,    S::ReportingFailure, S::ReportingAfterRun, S::ReportingEnd,
                     S::Stopped,          S::Failed,          S::ConfirmingClose,   S::Closing,
                     S::Ended};

std::string Name(S state) { return ToUtf8(NameOf(state)); }
std::string Name(E event) { return ToUtf8(NameOf(event)); }

// The state a row leads to, '-' when the event is refused; "=" keeps the state, "^" returns
// to what the close question interrupted.
std::string Outcome(S state, E event) {
    const LaunchTransition* row = FindTransition(state, event);
    if (!row) return "-";
    if (row->next == S::Unchanged) return "=";
    if (row->next == S::Resumed) return "^";
    return Name(row->next);
}

TEST(LaunchMachine, WhatTheUserCanDoInEachState) {
    const E events[] = {E::ContinueLink, E::ServiceLink, E::CloseButton, E::Escape, E::Enter, E::CloseMessage};
    // One line per state: where each of the events above leads.
    const std::map<S, std::vector<std::string>> expected = {
        {S::Created, {"-", "-", "-", "-", "-", "-"}},
        {S::CheckingFiles, {"-", "=", "ConfirmingClose", "Closing", "Closing", "Closing"}},
        {S::Preparing, {"-", "=", "ConfirmingClose", "Closing", "Closing", "Closing"}},
        {S::Running, {"-", "-", "-", "-", "-", "-"}},
        {S::Pausing, {"-", "-", "-", "-", "-", "-"}},
        {S::Finishing, {"-", "-", "-", "-", "-", "-"}},
        {S::HandingOff, {"-", "-", "-", "-", "-", "-"}},
        {S::Renaming, {"-", "-", "-", "-", "-", "-"}},
        {S::ReportingStop, {"-", "=", "ConfirmingClose", "Closing", "Closing", "Closing"}},
        {S::ReportingFailure, {"-", "=", "ConfirmingClose", "Closing", "Closing", "Closing"}},
        {S::ReportingAfterRun, {"-", "-", "-", "-", "-", "-"}},
        {S::ReportingEnd, {"-", "-", "-", "-", "-", "-"}},
        {S::Stopped, {"-", "=", "ConfirmingClose", "Ended", "Ended", "Ended"}},
        {S::Failed, {"Preparing", "=", "ConfirmingClose", "Ended", "Ended", "Ended"}},
        {S::ConfirmingClose, {"-", "=", "ConfirmingClose", "Closing", "Closing", "Closing"}},
        {S::Closing, {"-", "-", "-", "-", "-", "Closing"}},
        {S::Ended, {"-", "-", "-", "-", "-", "-"}},
    };
    for (S state : kStates) {
        ASSERT_TRUE(expected.count(state)) << Name(state);
        for (size_t i = 0; i < sizeof events / sizeof events[0]; ++i) {
            std::string got = Outcome(state, events[i]);
            if (got == "=" && FindTransition(state, events[i])->state == S::Closing) got = "Closing";
            EXPECT_EQ(expected.at(state)[i], got) << Name(state) << " + " << Name(events[i]);
        }
    }
}

TEST(LaunchMachine, WorkersReportsAreTakenWhereTheirWorkRunsWaitedForDuringTheQuestionAndEndAClosing) {
    const struct {
        E event;
        S workingIn;
    } reports[] = {{E::FilesChecked, S::CheckingFiles}, {E::FilesRejected, S::CheckingFiles},
                   {E::ProgramReady, S::Preparing},     {E::AttemptFailed, S::Preparing},
                   {E::ProgramEnded, S::Running},       {E::HandedOff, S::HandingOff},
                   {E::HandOffFailed, S::HandingOff},   {E::Restarted, S::HandingOff},
                   {E::RestartFailed, S::HandingOff},   {E::RenamedBack, S::Renaming},
                   {E::RenameFailed, S::Renaming}};
    for (const auto& report : reports) {
        for (S state : kStates) {
            const LaunchTransition* row = FindTransition(state, report.event);
            const std::string where = Name(report.event) + " in " + Name(state);
            if (state == report.workingIn) {
                EXPECT_NE(nullptr, row) << where;
            } else if (state == S::ConfirmingClose && report.workingIn != S::Running &&
                       report.workingIn != S::HandingOff && report.workingIn != S::Renaming) {
                // The close question can only be up while the window is: before the run.
                ASSERT_NE(nullptr, row) << where;
                EXPECT_EQ(LaunchAction::Defer, row->action) << where;
            } else if (state == S::Closing && row) {
                EXPECT_EQ(S::Unchanged, row->next) << where << ": the launch ends once no worker is busy";
            } else {
                EXPECT_EQ(nullptr, row) << where;
            }
        }
    }
}

TEST(LaunchMachine, EveryStateIsReachedAndCanReachTheEnd) {
    size_t count = 0;
    const LaunchTransition* table = TransitionTable(count);
    std::multimap<S, S> edges;
    std::set<std::pair<S, E>> seen;
    for (size_t i = 0; i < count; ++i) {
        const LaunchTransition& row = table[i];
        EXPECT_TRUE(seen.insert({row.state, row.event}).second) << "two rows for " << Name(row.state) << " + "
                                                                << Name(row.event);
        if (row.state == S::Any || row.next == S::Unchanged) continue;
        const S next = row.next == S::Resumed ? S::CheckingFiles : row.next;  // resumed: one example
        edges.insert({row.state, next});
    }
    // Resumed returns to whatever the question interrupted.
    for (S interrupted : {S::CheckingFiles, S::Preparing, S::ReportingStop, S::ReportingFailure, S::Stopped, S::Failed})
        edges.insert({S::ConfirmingClose, interrupted});
    auto reachable = [&](S from) {
        std::set<S> reached{from};
        std::vector<S> todo{from};
        while (!todo.empty()) {
            const S at = todo.back();
            todo.pop_back();
            auto range = edges.equal_range(at);
            for (auto it = range.first; it != range.second; ++it)
                if (reached.insert(it->second).second) todo.push_back(it->second);
        }
        return reached;
    };
    const std::set<S> fromStart = reachable(S::Created);
    for (S state : kStates) {
        EXPECT_TRUE(fromStart.count(state)) << Name(state) << " is never reached";
        EXPECT_TRUE(reachable(state).count(S::Ended)) << Name(state) << " never ends";
    }
}

TEST(LaunchMachine, ASessionEndIsAnsweredInEveryStateWithoutWaiting) {
    for (S state : kStates) {
        EXPECT_EQ("=", Outcome(state, E::QueryEndSession)) << Name(state);
        // While the main program runs the launcher stays; it ends its own work otherwise.
        EXPECT_EQ(state == S::Running || state == S::Ended ? "=" : "Ended", Outcome(state, E::EndSession)) << Name(state);
    }
}

TEST(LaunchMachine, EventsFromAnotherThreadAreRefused) {
    RecordingMessageBoxes boxes;
    RecordingWindow window;
    CLaunch launch(SettingsFor(L"C:\\nowhere"), window);
    bool accepted = true;
    std::thread other([&] { accepted = launch.Handle(E::Start); });
    other.join();
    EXPECT_FALSE(accepted);
    EXPECT_EQ(S::Created, launch.State());
    EXPECT_TRUE(boxes.boxes.empty());
}

}  // namespace
