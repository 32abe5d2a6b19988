#pragma once
// One background thread for one step of the launch at a time. The step gets an event that
// is set when it should stop; when it returns, the worker calls `done` on its own thread
// (which posts to the window: a worker never sends, so a window that waits for it can
// never wait for itself).
#include <windows.h>

#include <functional>

#include "framework/Handles.h"

class CWorker {
public:
    CWorker();
    // Asks a step still running to stop and waits for it.
    ~CWorker();
    CWorker(const CWorker&) = delete;
    CWorker& operator=(const CWorker&) = delete;

    // Starts `step` on a new thread; false when no thread could be made (nothing runs then).
    // Only when the previous step has been joined.
    bool Start(std::function<void(HANDLE cancel)> step, std::function<void()> done);
    // True from Start until Join.
    bool Busy() const { return static_cast<bool>(m_thread); }
    // Asks the step to stop (it checks the event between its waits).
    void Cancel();
    // Waits for the thread; after its `done`, that is at most the moment it takes to return.
    void Join();

private:
    static DWORD WINAPI Run(void* self);

    UniqueHandle m_cancel;
    UniqueHandle m_thread;
    std::function<void(HANDLE)> m_step;
    std::function<void()> m_done;
};
