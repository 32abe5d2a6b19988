#pragma once
// The single-instance guard: a named mutex per logon session, owned by the launcher that
// runs. Another copy counts as running when someone owns the mutex, or when the name is
// taken by an object of another kind (an event or semaphore of that name would otherwise
// let every copy through). A handle that is merely open does not count: a copy that is
// being refused holds one for a moment, and a launcher restarted by its predecessor must
// not be refused because of it.
#include "util/ThreadOwnedMutex.h"

enum class GuardResult {
    Acquired,         // this launcher owns the guard, held in `guard`
    AnotherCopyRuns,  // refused; no handle is kept
    Unavailable,      // the mutex cannot be created for another reason: go on without a guard
};

// Creates or opens the mutex `name` and takes ownership for the calling thread when nobody
// else has it (also when its previous owner ended without giving it back). Only that thread
// can release `guard`.
GuardResult AcquireInstanceGuard(const wchar_t* name, CThreadOwnedMutex& guard);
