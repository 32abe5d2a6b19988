#include "supervisor/Worker.h"

CWorker::CWorker() : m_cancel(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}

CWorker::~CWorker() {
    Cancel();
    Join();
}

bool CWorker::Start(std::function<void(HANDLE cancel)> step, std::function<void()> done) {
    if (m_thread || !m_cancel) return false;
    ResetEvent(m_cancel.get());
    m_step = std::move(step);
    m_done = std::move(done);
    m_thread.reset(CreateThread(nullptr, 0, &CWorker::Run, this, 0, nullptr));
    return static_cast<bool>(m_thread);
}

void CWorker::Cancel() {
    if (m_cancel) SetEvent(m_cancel.get());
}

void CWorker::Join() {
    if (!m_thread) return;
    WaitForSingleObject(m_thread.get(), INFINITE);
    m_thread.reset();
}

DWORD WINAPI CWorker::Run(void* self) {
    CWorker& worker = *static_cast<CWorker*>(self);
    worker.m_step(worker.m_cancel.get());
    worker.m_done();
    return 0;
}
