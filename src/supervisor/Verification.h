#pragma once
// The checks between the installation on disk and the digests recorded for it, without
// any window: the program package and the component files once per run, the main
// program at each launch attempt (extracting it again from the package when it is
// missing or differs). Each returns an outcome; the caller presents it.
#include <windows.h>

#include <functional>

#include "framework/CString.h"
#include "framework/Handles.h"
#include "util/DigestTask.h"
#include "util/Installation.h"
#include "supervisor/LaunchOutcome.h"

// Waits for a digest running on another thread; `what` names the file for the user.
// False abandons the wait (the caller then gives up with LaunchStatus::Abandoned).
using DigestWaiter = std::function<bool(CDigestTask& task, const wchar_t* what)>;

// The checks run where blocking is harmless (a worker of the launch): they wait for digests,
// pause between attempts on a busy file and call the component, and stop early, with
// LaunchStatus::Abandoned, once `cancel` is set.
struct VerificationContext {
    Installation installation;
    DigestWaiter wait;       // null: block until the digest is there
    HANDLE cancel = nullptr;  // an event; null: never cancelled
};

// Starts, on worker threads of installation.prefetch, the digests that a run will need:
// every verified file, the main program under whichever name it lies.
void PrefetchStartupDigests(const Installation& installation);

// The package against its recorded digest, then the component files against their fixed
// digests; the first failure ends the checks. A file that another program holds open for
// writing is busy (FileBusy), not different.
LaunchOutcome VerifyDataFiles(const VerificationContext& context);

// The main program's file under its runnable name, open for reading with writes,
// renames and deletion denied to everyone else: what was digested stays what runs.
struct CVerifiedProgram {
    CString path;
    UniqueFile file;
};

// Extracts the main program from the package into the installation folder; false with
// the component's error text (possibly empty) on failure.
using ExtractProgram = std::function<bool(CString& errorText)>;

// Creates the main program's process from its held file, suspended, while its digest may
// still be running; Discard ends it unstarted when the digest then says otherwise. The
// held file denies writers, so the bytes the process maps are the bytes digested.
class ISuspendedStart {
public:
    // Releases program.file once the process exists (or could not be created).
    virtual LaunchOutcome StartSuspended(CVerifiedProgram& program) = 0;
    virtual void Discard() = 0;

protected:
    ~ISuspendedStart() = default;
};

// Gives the main program's file its runnable name, verifies it (or extracts it again and
// verifies what was extracted), and starts it suspended through `start`: Ok when the
// recorded program waits, suspended, to be resumed.
LaunchOutcome PrepareMainProgram(const VerificationContext& context, const ExtractProgram& extract,
                                 ISuspendedStart& start);

// True when both handles, open on files of one folder, are open on the same file.
bool IsSameFile(HANDLE a, HANDLE b);
