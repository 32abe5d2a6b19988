#pragma once
// What a step of the start sequence or of the launch came to, as a value: the kind of
// ending plus the Win32 code or the component's text where there is one. Which box,
// title and status line the user gets for each is decided in one place
// (OutcomeMessages), not by the steps.
#include <windows.h>

#include "framework/CString.h"

enum class LaunchStatus {
    Ok,
    Abandoned,                 // the user closed the window while the launcher waited; no message
    RuntimeMissingAtStart,     // the start sequence found no component
    RuntimeMissingAtLaunch,    // a launch attempt found no component
    PackageDigestUnrecorded,   // AppConf.ini unreadable or without Apdbm5
    PackageDiffers,
    ComponentLibDiffers,
    ComponentApiDiffers,
    ProgramDigestUnrecorded,   // AppConf.ini unreadable or without Apexm5
    ExtractionFailed,          // text: the component's error text
    ExtractedProgramDiffers,   // the package's own copy is not the recorded program
    RenameFailed,              // error: why the main program's file could not be renamed
    InstallationReadOnly,      // the program lies under its between-runs name in a folder that cannot be written
    FolderNameUnreadable,      // the folder's name cannot be handed to the component for an extraction
    ProgramMissing,
    StartFailed,               // error: why CreateProcessW failed
    Exception,                 // text: a standard exception's text
};

struct LaunchOutcome {
    LaunchStatus status = LaunchStatus::Ok;
    DWORD error = 0;
    CString text;

    bool ok() const { return status == LaunchStatus::Ok; }
    static LaunchOutcome Of(LaunchStatus status, DWORD error = 0, const CString& text = CString()) {
        LaunchOutcome outcome;
        outcome.status = status;
        outcome.error = error;
        outcome.text = text;
        return outcome;
    }
};
