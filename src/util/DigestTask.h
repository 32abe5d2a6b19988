#pragma once
// Digests that run on worker threads while the launcher goes on with other work. Each
// task reads its file through a handle it opens itself; that handle can be kept open
// after the digest, so that what was digested stays what it was.
#include <windows.h>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "framework/CString.h"
#include "framework/Handles.h"
#include "util/FileDigest.h"

class CDigestTask {
public:
    // Opens `path` for reading with `share` and starts the digest, reading through `read`.
    // A file that cannot be opened gives the empty digest at once; OpenError tells why.
    CDigestTask(const CString& path, DWORD share, bool keepOpen, DigestReader read = &ReadFile);
    // Abandons a digest still running (it stops within one read) and waits for it.
    ~CDigestTask();
    CDigestTask(const CDigestTask&) = delete;
    CDigestTask& operator=(const CDigestTask&) = delete;

    const CString& Path() const { return m_path; }
    // Why the file could not be opened; 0 when it was.
    DWORD OpenError() const { return m_openError; }
    // Why the file could not be read to its end (at the open or by a read in the middle,
    // known after Result); 0 when it was read whole.
    DWORD Error() const { return m_openError ? m_openError : m_readError; }
    // Another program held the file open, or a range of it locked, in a way that kept it
    // from being read: at the open or in the middle of the file. Known after Result.
    bool WasBusy() const;
    // A new task for the same file, opened and read the same way; at `path` when the file
    // has been renamed since.
    std::unique_ptr<CDigestTask> Again(const CString& path = CString()) const;
    // Signalled once the digest is over; null when nothing runs.
    HANDLE DoneEvent() const { return m_thread.get(); }
    const DigestProgress& Progress() const { return m_progress; }
    // Returns once the worker runs with the hash provider loaded (or is over). A thread
    // not yet started waits for every library that other threads load meanwhile: starting
    // a thread and loading a library take the same system lock.
    void WaitUntilRunning() const;
    // Blocks until the digest is over and gives it.
    const CString& Result();
    // The handle the file was digested through, when it was kept; valid after Result.
    HANDLE File() const { return m_file.get(); }
    void Abandon();

private:
    static DWORD WINAPI Run(void* self);
    void Digest();

    CString m_path;
    DWORD m_share;
    bool m_keepOpen;
    DigestReader m_read;
    DWORD m_openError = 0;
    DWORD m_readError = 0;  // written by the digest, read once it is over
    UniqueFile m_file;
    UniqueHandle m_running;
    UniqueHandle m_thread;
    CString m_digest;
    DigestProgress m_progress;
    std::atomic<bool> m_cancel{false};
};

// Digests started as soon as the launcher knows its folder and taken, each once, by the
// step that needs it. A step that finds no prefetched digest makes its own.
class CDigestPrefetch {
public:
    void Start(const CString& path, DWORD share, bool keepOpen);
    // Returns once every task started runs (CDigestTask::WaitUntilRunning).
    void WaitUntilRunning();
    // The task for `path` (compared without case), or null; the caller owns it from now.
    std::unique_ptr<CDigestTask> Take(const CString& path);
    // Stops and forgets every task not taken.
    void AbandonAll();

private:
    std::mutex m_lock;
    std::vector<std::unique_ptr<CDigestTask>> m_tasks;
};

// The task `prefetch` (may be null) holds for `path`, or else a new one.
std::unique_ptr<CDigestTask> TakeOrStartDigest(CDigestPrefetch* prefetch, const CString& path, DWORD share,
                                               bool keepOpen);
