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
#include "util/LaunchOutcome.h"

// Waits for a digest running on another thread; `what` names the file for the user.
// False abandons the wait (the caller then gives up with LaunchStatus::Abandoned).
using DigestWaiter = std::function<bool(CDigestTask& task, const wchar_t* what)>;

struct VerificationContext {
    Installation installation;
    DigestWaiter wait;  // null: block until the digest is there
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

// Gives the main program's file its runnable name, verifies it (or extracts it again and
// verifies what was extracted) and hands it back held open in `program`.
LaunchOutcome PrepareMainProgram(const VerificationContext& context, const ExtractProgram& extract,
                                 CVerifiedProgram& program);

// True when both handles, open on files of one folder, are open on the same file.
bool IsSameFile(HANDLE a, HANDLE b);
