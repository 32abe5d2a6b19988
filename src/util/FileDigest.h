#pragma once
#include <windows.h>

#include <atomic>

#include "framework/CString.h"

// MD5 of the file's whole content as 32 upper-case hexadecimal characters, computed by
// the system's CryptoAPI; the empty string when the file cannot be read or hashed.
// The file is opened with read sharing only (a file held open for writing gives the
// empty string) and hashed as it is read, so memory use does not grow with its size;
// a read error ends the content early, like the end of the file.
CString GetFileMd5(const CString& path);

// Where a digest running on another thread stands; both counters only grow.
struct DigestProgress {
    std::atomic<unsigned long long> done{0};
    std::atomic<unsigned long long> total{0};
};

// Loads the hash provider that every digest of the run shares, if not yet done. Threads
// that call this before anything else load no library while they hash.
void PrepareDigestProvider();

// How a digest reads its file: ReadFile's signature, so that tests can put a reader in its
// place that fails where they want it to.
using DigestReader = BOOL(WINAPI*)(HANDLE file, LPVOID buffer, DWORD size, LPDWORD read, LPOVERLAPPED overlapped);

// How one digest of an open file goes: what it reports and what it is given.
struct DigestReading {
    DigestProgress* progress = nullptr;         // counts the bytes hashed
    const std::atomic<bool>* cancel = nullptr;  // once set, reading stops with the empty string
    DigestReader read = &ReadFile;
    // Set when a read failed before the end of the file: its error. The digest is then
    // that of the bytes read so far.
    DWORD readError = 0;
};

// The same digest through a file already open for reading, from its first byte.
CString GetOpenFileMd5(HANDLE file, DigestReading& reading);
inline CString GetOpenFileMd5(HANDLE file) {
    DigestReading reading;
    return GetOpenFileMd5(file, reading);
}
