#include "util/ThreadOwnedMutex.h"

#include "util/RunLog.h"

void CThreadOwnedMutex::Own(HANDLE mutex) {
    m_mutex.reset(mutex);
    m_ownerThread = mutex ? GetCurrentThreadId() : 0;
}

bool CThreadOwnedMutex::Release() {
    if (!m_mutex) return true;
    if (GetCurrentThreadId() != m_ownerThread) {
        RunLog(L"guard: release asked on thread %lu, owned by thread %lu; refused", GetCurrentThreadId(), m_ownerThread);
        return false;
    }
    m_mutex.reset();
    m_ownerThread = 0;
    RunLog(L"guard: released");
    return true;
}
