#include "util/RunLog.h"

#include <shlobj.h>

#include <cstdarg>
#include <mutex>
#include <string>

#include "framework/Codepage.h"
#include "framework/Handles.h"
#include "util/FixedText.h"

namespace {

const DWORD kDefaultCapBytes = 1024 * 1024;
// Launchers of one session share the log, and two of them can reach its cap together (a
// restart after the main program asked for one, a second copy started by a double-click).
// The size check and the rename happen under this mutex, so only the first moves the full
// file aside; the second then finds the fresh one and appends to it. A launcher never waits
// long for it: past this, its line goes without a rotation.
const wchar_t kRotationMutexName[] = L"Local\\VelmoraLauncherLogRotation";
const DWORD kRotationPatienceMs = 500;

std::mutex g_logLock;  // digests run on worker threads; lines must not interleave
CString g_overridePath;
CString g_defaultPath;  // found once per run: the shell's folder lookup is slow
DWORD g_capBytes = kDefaultCapBytes;

// Called with g_logLock held.
CString DefaultPath() {
    if (!g_defaultPath.IsEmpty()) return g_defaultPath;
    const CString folder = SupportFolder();
    if (folder.IsEmpty()) return CString();
    g_defaultPath = folder + L"\\launcher.log";
    return g_defaultPath;
}

// Opens for appending, sharing everything so that support can read the file (and another
// launcher can append) while it is open. Never waits: a refused open means no line.
UniqueFile OpenForAppend(const wchar_t* path) {
    return UniqueFile(CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
}

bool WouldPassCap(HANDLE file, const std::string& line) {
    LARGE_INTEGER size = {};
    return GetFileSizeEx(file, &size) && size.QuadPart + line.size() > g_capBytes;
}

// Empties the file, sharing everything as the appending handles do.
void StartAfresh(const CString& path) {
    UniqueFile emptied(CreateFileW(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                   nullptr, TRUNCATE_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
}

// The file at `path` is found full again, by this process only, and moved aside: it becomes
// the previous file, replacing that one. When the previous one cannot be replaced (held
// open, read-only, a folder of that name), the current one starts afresh instead: the log
// never grows past its cap.
void RotateIfStillFull(const CString& path, const std::string& line) {
    UniqueOwnedMutex rotation(CreateMutexW(nullptr, FALSE, kRotationMutexName));
    if (rotation) {
        // An owner that ended without letting go (abandoned) leaves nothing half done that
        // the check below would not see. Not owned in time: no rotation this time (closing
        // the handle then releases nothing).
        const DWORD waited = WaitForSingleObject(rotation.get(), kRotationPatienceMs);
        if (waited != WAIT_OBJECT_0 && waited != WAIT_ABANDONED) return;
    }
    // Without the mutex (its name taken by another kind of object) the rotation goes on
    // unguarded, as the re-check below still narrows the race to a moment.
    UniqueFile current = OpenForAppend(path);
    if (!current || !WouldPassCap(current.get(), line)) return;
    current.reset();
    if (!MoveFileExW(path, path + L".1", MOVEFILE_REPLACE_EXISTING)) StartAfresh(path);
}

// "2026-12-09 21:59:53.120 [1234] ": the local time and the process id.
void AddLineHead(FixedText& line, DWORD processId) {
    SYSTEMTIME now;
    GetLocalTime(&now);
    line.Number(now.wYear, 4) << L"-";
    line.Number(now.wMonth, 2) << L"-";
    line.Number(now.wDay, 2) << L" ";
    line.Number(now.wHour, 2) << L":";
    line.Number(now.wMinute, 2) << L":";
    line.Number(now.wSecond, 2) << L".";
    line.Number(now.wMilliseconds, 3) << L" [";
    line.Number(processId) << L"] ";
}

// One line: the head, the text with its line breaks made spaces, CR LF; UTF-8.
std::string FormatLine(DWORD processId, const wchar_t* text) {
    std::wstring body(text);
    for (wchar_t& c : body) {
        if (c == L'\r' || c == L'\n') c = L' ';
    }
    wchar_t head[48];
    FixedText line(head);
    AddLineHead(line, processId);
    return WideToNarrow(line.c_str(), CP_UTF8) + WideToNarrow(body.c_str(), CP_UTF8) + "\r\n";
}

void WriteLine(DWORD processId, const wchar_t* text) {
    const DWORD savedError = GetLastError();
    try {
        const std::string line = FormatLine(processId, text);
        std::lock_guard<std::mutex> hold(g_logLock);
        const CString path = g_overridePath.IsEmpty() ? DefaultPath() : g_overridePath;
        if (!path.IsEmpty()) {
            UniqueFile file = OpenForAppend(path);
            if (file && WouldPassCap(file.get(), line)) {
                // Keep one previous file; a line that would still pass the cap is dropped.
                file.reset();
                RotateIfStillFull(path, line);
                file = OpenForAppend(path);
                if (file && WouldPassCap(file.get(), line)) file.reset();
            }
            DWORD written = 0;
            if (file) WriteFile(file.get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
        }
    } catch (...) {
        // Out of memory while formatting: the line is skipped.
    }
    SetLastError(savedError);
}

}  // namespace

CString SupportFolder() {
    wchar_t base[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, base))) return CString();
    CString folder = CString(base) + L"\\Velmora";
    CreateDirectoryW(folder, nullptr);
    return folder;
}

CString RunLogPath() {
    std::lock_guard<std::mutex> hold(g_logLock);
    return g_overridePath.IsEmpty() ? DefaultPath() : g_overridePath;
}

void SetRunLogPathForTesting(const CString& path) {
    std::lock_guard<std::mutex> hold(g_logLock);
    g_overridePath = path;
}

void SetRunLogCapForTesting(DWORD bytes) {
    std::lock_guard<std::mutex> hold(g_logLock);
    g_capBytes = bytes ? bytes : kDefaultCapBytes;
}

void RunLog(const wchar_t* format, ...) {
    wchar_t text[1024] = {};
    va_list args;
    va_start(args, format);
    _vsnwprintf(text, 1023, format, args);
    va_end(args);
    WriteLine(GetCurrentProcessId(), text);
}

void RunLogFor(DWORD processId, const wchar_t* text) { WriteLine(processId, text); }

UniqueFile OpenRunLogForAppending() {
    const CString path = RunLogPath();
    return path.IsEmpty() ? UniqueFile() : OpenForAppend(path);
}

void AppendRunLogLine(HANDLE log, const wchar_t* text) {
    const DWORD savedError = GetLastError();
    wchar_t wide[1024];
    FixedText line(wide);
    AddLineHead(line, GetCurrentProcessId());
    line << text;
    char bytes[sizeof wide / sizeof wide[0] * 3 + 2];
    int length = WideCharToMultiByte(CP_UTF8, 0, line.c_str(), static_cast<int>(line.size()), bytes,
                                     static_cast<int>(sizeof bytes - 2), nullptr, nullptr);
    if (length > 0) {
        bytes[length++] = '\r';
        bytes[length++] = '\n';
        DWORD written = 0;
        WriteFile(log, bytes, static_cast<DWORD>(length), &written, nullptr);
    }
    SetLastError(savedError);
}
