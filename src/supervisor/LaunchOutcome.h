#pragma once
// What a step of start-up, of the start sequence, of the launch or of a hand-off came to, as
// a value: the kind of ending plus the Win32 code, the verified file or the text where there
// is one. The kinds and what the user is shown for each stand in one list
// (supervisor/OutcomeList.h); the steps only say which it was.
#include <windows.h>

#include "framework/CString.h"
#include "util/VerifiedFiles.h"

enum class LaunchStatus {
#define VELMORA_OUTCOME(id, ...) id,
#include "supervisor/OutcomeList.h"
#undef VELMORA_OUTCOME
};

struct LaunchOutcome {
    LaunchStatus status = LaunchStatus::Ok;
    DWORD error = 0;
    CString text;
    const VerifiedFile* file = nullptr;

    bool ok() const { return status == LaunchStatus::Ok; }
    static LaunchOutcome Of(LaunchStatus status, DWORD error = 0, const CString& text = CString()) {
        LaunchOutcome outcome;
        outcome.status = status;
        outcome.error = error;
        outcome.text = text;
        return outcome;
    }
    static LaunchOutcome For(LaunchStatus status, const VerifiedFile& file, DWORD error = 0) {
        LaunchOutcome outcome = Of(status, error);
        outcome.file = &file;
        return outcome;
    }
};
