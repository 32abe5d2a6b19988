#include "util/DigestTask.h"

#include "util/FileRetry.h"

namespace {
const unsigned long long kDigestOnThreadFrom = 1024 * 1024;
}  // namespace

CDigestTask::CDigestTask(const CString& path, DWORD share, bool keepOpen, DigestReader read)
    : m_path(path), m_share(share), m_keepOpen(keepOpen), m_read(read) {
    m_file.reset(CreateFileW(path, GENERIC_READ, share, nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!m_file) {
        m_openError = GetLastError();
        return;
    }
    LARGE_INTEGER size = {};
    if (GetFileSizeEx(m_file.get(), &size)) m_progress.total = static_cast<unsigned long long>(size.QuadPart);
    if (m_progress.total >= kDigestOnThreadFrom) {
        m_running.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
        if (m_running) m_thread.reset(CreateThread(nullptr, 0, &CDigestTask::Run, this, 0, nullptr));
    }
    // A small file (a thread would cost more than its digest), or no thread: here and now.
    if (!m_thread) Digest();
}

void CDigestTask::Digest() {
    DigestReading reading;
    reading.progress = &m_progress;
    reading.cancel = &m_cancel;
    reading.read = m_read;
    m_digest = GetOpenFileMd5(m_file.get(), reading);
    m_readError = reading.readError;
}

void CDigestTask::WaitUntilRunning() const {
    if (!m_thread) return;
    HANDLE started[] = {m_running.get(), m_thread.get()};
    WaitForMultipleObjects(2, started, FALSE, INFINITE);
}

CDigestTask::~CDigestTask() { Abandon(); }

// A lock violation in the middle of the file is what Windows reports when another program
// has locked a byte range of it (LockFileEx, as backup and virus scanners do): busy like a
// refused open, and gone once that program lets go.
bool CDigestTask::WasBusy() const { return IsFileBusyError(Error()); }

std::unique_ptr<CDigestTask> CDigestTask::Again(const CString& path) const {
    return std::unique_ptr<CDigestTask>(new CDigestTask(path.IsEmpty() ? m_path : path, m_share, m_keepOpen, m_read));
}

DWORD WINAPI CDigestTask::Run(void* self) {
    CDigestTask* task = static_cast<CDigestTask*>(self);
    PrepareDigestProvider();
    SetEvent(task->m_running.get());
    task->Digest();
    return 0;
}

const CString& CDigestTask::Result() {
    if (m_thread) {
        WaitForSingleObject(m_thread.get(), INFINITE);
        m_thread.reset();
    }
    if (!m_keepOpen) m_file.reset();
    return m_digest;
}

void CDigestTask::Abandon() {
    m_cancel = true;
    if (m_thread) WaitForSingleObject(m_thread.get(), INFINITE);
    m_thread.reset();
    m_file.reset();
}

void CDigestPrefetch::Start(const CString& path, DWORD share, bool keepOpen) {
    std::unique_ptr<CDigestTask> task(new CDigestTask(path, share, keepOpen));
    std::lock_guard<std::mutex> hold(m_lock);
    m_tasks.push_back(std::move(task));
}

void CDigestPrefetch::WaitUntilRunning() {
    std::lock_guard<std::mutex> hold(m_lock);
    for (const auto& task : m_tasks) task->WaitUntilRunning();
}

std::unique_ptr<CDigestTask> CDigestPrefetch::Take(const CString& path) {
    std::lock_guard<std::mutex> hold(m_lock);
    for (auto it = m_tasks.begin(); it != m_tasks.end(); ++it) {
        if ((*it)->Path().CompareNoCase(path) == 0) {
            std::unique_ptr<CDigestTask> task = std::move(*it);
            m_tasks.erase(it);
            return task;
        }
    }
    return nullptr;
}

void CDigestPrefetch::AbandonAll() {
    std::vector<std::unique_ptr<CDigestTask>> tasks;
    {
        std::lock_guard<std::mutex> hold(m_lock);
        tasks.swap(m_tasks);
    }
    for (auto& task : tasks) task->Abandon();
}

std::unique_ptr<CDigestTask> TakeOrStartDigest(CDigestPrefetch* prefetch, const CString& path, DWORD share,
                                               bool keepOpen) {
    std::unique_ptr<CDigestTask> task = prefetch ? prefetch->Take(path) : nullptr;
    if (!task) task.reset(new CDigestTask(path, share, keepOpen));
    return task;
}
