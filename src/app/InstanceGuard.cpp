#include "app/InstanceGuard.h"

#include "util/RunLog.h"

GuardResult AcquireInstanceGuard(const wchar_t* name, CThreadOwnedMutex& guard) {
    guard.Release();
    UniqueHandle mutex(CreateMutexW(nullptr, TRUE, name));
    const DWORD error = GetLastError();
    if (!mutex) {
        if (error == ERROR_INVALID_HANDLE) {
            RunLog(L"guard: the name %ls is taken by another kind of object; refused", name);
            return GuardResult::AnotherCopyRuns;
        }
        RunLog(L"guard: cannot be created (error %lu); going on without it", error);
        return GuardResult::Unavailable;
    }
    if (error != ERROR_ALREADY_EXISTS) {
        guard.Own(mutex.release());
        RunLog(L"guard: acquired");
        return GuardResult::Acquired;
    }
    // The mutex existed, so the initial ownership was not granted. Whoever owns it is a
    // running launcher; a copy that only holds a handle owns nothing.
    switch (WaitForSingleObject(mutex.get(), 0)) {
    case WAIT_OBJECT_0:
        guard.Own(mutex.release());
        RunLog(L"guard: acquired (the mutex was open elsewhere but not owned)");
        return GuardResult::Acquired;
    case WAIT_ABANDONED:
        guard.Own(mutex.release());
        RunLog(L"guard: acquired (its previous owner ended without releasing it)");
        return GuardResult::Acquired;
    default:
        RunLog(L"guard: another copy owns it; refused");
        return GuardResult::AnotherCopyRuns;
    }
}
