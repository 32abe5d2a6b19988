#pragma once
// What a step of start-up, of the start sequence, of the launch or of a hand-off came to, as
// a value: the kind of ending plus the Win32 code, the verified file or the text where there
// is one. Which box, title, page and status line the user gets for each is decided in one
// place (supervisor/OutcomeMessages), not by the steps.
#include <windows.h>

#include "framework/CString.h"
#include "util/VerifiedFiles.h"

enum class LaunchStatus {
    Ok,
    Abandoned,                 // the user closed the window while the launcher waited; no message
    // Loading the component (file: the component file concerned).
    ComponentFileMissing,      // file
    ComponentNotShipped,       // file: not the shipped file; never loaded, named later among the data files
    ComponentLoadFailed,       // error: why the library could not be loaded (also a file held by another program)
    ComponentFactoryMissing,
    ComponentFactoryFailed,
    // The start sequence and the launch.
    RuntimeMissingAtStart,     // the start sequence found no component
    RuntimeMissingAtLaunch,    // a launch attempt found no component
    DigestUnrecorded,          // file: AppConf.ini unreadable or without the file's key
    FileDiffers,               // file: not the recorded file (also missing or unreadable)
    FileBusy,                  // file, error: another program holds it open for writing
    ExtractionFailed,          // text: the component's error text
    ExtractedProgramDiffers,   // the package's own copy is not the recorded program
    RenameFailed,              // error: why the main program's file could not be renamed
    InstallationReadOnly,      // the program lies under its between-runs name in a folder that cannot be written
    FolderNameUnreadable,      // the folder's name cannot be handed to the component for an extraction
    ProgramMissing,
    StartFailed,               // error: why CreateProcessW failed
    Exception,                 // text: a standard exception's text
    // After the main program's run, and the splash window's links.
    BadArguments,              // the main program ended with the bad-arguments code
    UpdaterMissing,
    UpdaterStartFailed,        // error: why the shell could not start the updater
    ServiceWindowOpen,         // a service window runs already
    ServiceWindowStartFailed,
    ServiceWindowException,    // text: a standard exception's text
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
