#pragma once
// A mutex owned by the thread that took it, such as the single-instance guard. Ownership can
// only be given back by that thread (ReleaseMutex fails silently on any other, and the mutex
// would stay owned until the process ends), so the object remembers its thread and refuses,
// with a run-log line, a release from another one.
#include <windows.h>

#include "framework/Handles.h"

class CThreadOwnedMutex {
public:
    CThreadOwnedMutex() = default;
    CThreadOwnedMutex(const CThreadOwnedMutex&) = delete;
    CThreadOwnedMutex& operator=(const CThreadOwnedMutex&) = delete;

    // Takes over an owned mutex's handle for the calling thread.
    void Own(HANDLE mutex);
    bool IsHeld() const { return static_cast<bool>(m_mutex); }
    // Gives ownership back and closes the handle; false, doing nothing, on another thread.
    bool Release();
    // For the system to release at process end: the handle is let go without a release.
    HANDLE Get() const { return m_mutex.get(); }

private:
    UniqueOwnedMutex m_mutex;
    DWORD m_ownerThread = 0;
};
