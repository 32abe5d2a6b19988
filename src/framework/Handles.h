#pragma once
// Owners for every kind of handle the launcher opens: one move-only template,
// parameterised by a policy that says how to close the handle and which value means
// "none". Closing keeps the thread's last-error code, so a caller can still read the
// error of the call that failed after the owner went out of scope.
#include <windows.h>
#include <wincrypt.h>
#include <shlobj.h>
#include <utility>

template <typename Policy>
class UniqueAny {
public:
    using pointer = typename Policy::pointer;

    UniqueAny() = default;
    explicit UniqueAny(pointer value) : m_value(value) {}
    ~UniqueAny() { reset(); }

    UniqueAny(const UniqueAny&) = delete;
    UniqueAny& operator=(const UniqueAny&) = delete;
    UniqueAny(UniqueAny&& other) noexcept : m_value(other.release()) {}
    UniqueAny& operator=(UniqueAny&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }

    pointer get() const { return m_value; }
    explicit operator bool() const { return m_value != Policy::invalid(); }

    pointer release() {
        pointer v = m_value;
        m_value = Policy::invalid();
        return v;
    }

    void reset(pointer value = Policy::invalid()) {
        if (m_value != Policy::invalid()) {
            DWORD saved = GetLastError();
            Policy::close(m_value);
            SetLastError(saved);
        }
        m_value = value;
    }

    // For out-parameters: closes what is held and hands out the slot.
    pointer* put() {
        reset();
        return &m_value;
    }

private:
    pointer m_value = Policy::invalid();
};

namespace handle_policy {
template <typename T, T Invalid, void (*Close)(T)>
struct Simple {
    using pointer = T;
    static T invalid() { return Invalid; }
    static void close(T h) { Close(h); }
};

inline void closeHandle(HANDLE h) { ::CloseHandle(h); }
inline void findClose(HANDLE h) { ::FindClose(h); }
inline void regCloseKey(HKEY h) { ::RegCloseKey(h); }
inline void freeLibrary(HMODULE h) { ::FreeLibrary(h); }
inline void cryptRelease(HCRYPTPROV h) { ::CryptReleaseContext(h, 0); }
inline void cryptDestroyHash(HCRYPTHASH h) { ::CryptDestroyHash(h); }
inline void deleteObject(HGDIOBJ h) { ::DeleteObject(h); }
inline void localFree(HLOCAL h) { ::LocalFree(h); }
inline void coTaskMemFree(PWSTR p) { ::CoTaskMemFree(p); }
inline void unmapView(void* p) { ::UnmapViewOfFile(p); }
// Closing a handle does not give up ownership of a mutex (that waits until the owning
// thread ends): an owned mutex is released first. Releasing one this thread does not own
// fails harmlessly.
inline void releaseAndCloseMutex(HANDLE h) {
    ::ReleaseMutex(h);
    ::CloseHandle(h);
}

struct InvalidHandleValue {
    using pointer = HANDLE;
    static HANDLE invalid() { return INVALID_HANDLE_VALUE; }
    static void close(HANDLE h) { ::CloseHandle(h); }
};
struct FindHandle {
    using pointer = HANDLE;
    static HANDLE invalid() { return INVALID_HANDLE_VALUE; }
    static void close(HANDLE h) { ::FindClose(h); }
};
}  // namespace handle_policy

// Kernel objects whose "none" is NULL: mutex, job, process, thread.
using UniqueHandle = UniqueAny<handle_policy::Simple<HANDLE, nullptr, handle_policy::closeHandle>>;
// A mutex this thread may own: reset() releases it, then closes the handle.
using UniqueOwnedMutex = UniqueAny<handle_policy::Simple<HANDLE, nullptr, handle_policy::releaseAndCloseMutex>>;
// Files and tool-help snapshots, whose "none" is INVALID_HANDLE_VALUE.
using UniqueFile = UniqueAny<handle_policy::InvalidHandleValue>;
using UniqueSnapshot = UniqueFile;
// FindFirstFileW handles.
using UniqueFind = UniqueAny<handle_policy::FindHandle>;
using UniqueRegKey = UniqueAny<handle_policy::Simple<HKEY, nullptr, handle_policy::regCloseKey>>;
using UniqueModule = UniqueAny<handle_policy::Simple<HMODULE, nullptr, handle_policy::freeLibrary>>;
using UniqueCryptProv = UniqueAny<handle_policy::Simple<HCRYPTPROV, 0, handle_policy::cryptRelease>>;
using UniqueCryptHash = UniqueAny<handle_policy::Simple<HCRYPTHASH, 0, handle_policy::cryptDestroyHash>>;
using UniqueGdiObject = UniqueAny<handle_policy::Simple<HGDIOBJ, nullptr, handle_policy::deleteObject>>;
using UniqueLocalMem = UniqueAny<handle_policy::Simple<HLOCAL, nullptr, handle_policy::localFree>>;
using UniqueCoTaskString = UniqueAny<handle_policy::Simple<PWSTR, nullptr, handle_policy::coTaskMemFree>>;
// A view of a file mapping (MapViewOfFile).
using UniqueMappedView = UniqueAny<handle_policy::Simple<void*, nullptr, handle_policy::unmapView>>;

// Both handles of a started process, closed together (thread first, then process).
class UniqueProcessInformation {
public:
    UniqueProcessInformation() { ZeroMemory(&m_pi, sizeof m_pi); }
    ~UniqueProcessInformation() { reset(); }
    UniqueProcessInformation(const UniqueProcessInformation&) = delete;
    UniqueProcessInformation& operator=(const UniqueProcessInformation&) = delete;

    PROCESS_INFORMATION* put() { reset(); return &m_pi; }
    const PROCESS_INFORMATION& get() const { return m_pi; }
    HANDLE process() const { return m_pi.hProcess; }
    HANDLE thread() const { return m_pi.hThread; }

    void reset() {
        DWORD saved = GetLastError();
        if (m_pi.hThread) ::CloseHandle(m_pi.hThread);
        if (m_pi.hProcess) ::CloseHandle(m_pi.hProcess);
        ZeroMemory(&m_pi, sizeof m_pi);
        SetLastError(saved);
    }

private:
    PROCESS_INFORMATION m_pi;
};

// Selects a GDI object into a device context for the lifetime of the scope and puts the
// previous one back at the end.
class ScopedSelectObject {
public:
    ScopedSelectObject(HDC dc, HGDIOBJ obj) : m_dc(dc), m_old(obj ? ::SelectObject(dc, obj) : nullptr) {}
    ~ScopedSelectObject() { if (m_old) ::SelectObject(m_dc, m_old); }
    ScopedSelectObject(const ScopedSelectObject&) = delete;
    ScopedSelectObject& operator=(const ScopedSelectObject&) = delete;

private:
    HDC m_dc;
    HGDIOBJ m_old;
};
