#pragma once
// What our stand-in programs share: the folder they live in, and the one UTF-8 line each
// run appends to its log there, so that tests and the demo can see when, where and with
// which command line a program was started:
//   start=<ms since 1970 UTC> pid=<id> cwd=<current folder> [<fields> ]cmd=<raw command line>
#include <windows.h>

#include <string>

#include "framework/Handles.h"

namespace standin {

inline std::wstring OwnFolder() {
    wchar_t path[MAX_PATH] = {};
    DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring s(path, n);
    size_t slash = s.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring(L".") : s.substr(0, slash);
}

inline std::string ToUtf8(const std::wstring& text) {
    if (text.empty()) return std::string();
    int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n > 0 ? n : 0), '\0');
    if (n > 0) WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], n, nullptr, nullptr);
    return out;
}

inline bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

inline bool ReadAll(const std::wstring& path, std::string& bytes) {
    UniqueFile f(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!f) return false;
    bytes.clear();
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(f.get(), buffer, sizeof buffer, &got, nullptr) && got > 0) bytes.append(buffer, got);
    return true;
}

inline bool WriteAll(const std::wstring& path, const std::string& bytes, bool append) {
    UniqueFile f(CreateFileW(path.c_str(), append ? FILE_APPEND_DATA : GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                             nullptr, append ? OPEN_ALWAYS : CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!f) return false;
    DWORD written = 0;
    return WriteFile(f.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
           written == bytes.size();
}

inline long long NowMillisecondsSince1970() {
    FILETIME ft;
    GetSystemTimeAsFileTime(&ft);
    ULARGE_INTEGER t;
    t.LowPart = ft.dwLowDateTime;
    t.HighPart = ft.dwHighDateTime;
    return static_cast<long long>((t.QuadPart - 116444736000000000ULL) / 10000ULL);
}

// Appends this run's line to <own folder>\<logName>. `fields` (may be empty) stand
// between the current folder and the command line, e.g. "exit=0".
inline bool AppendRunLine(const wchar_t* logName, long long startMs, const std::string& fields) {
    wchar_t cwd[MAX_PATH + 1] = {};
    GetCurrentDirectoryW(MAX_PATH + 1, cwd);
    const wchar_t* raw = GetCommandLineW();
    std::string line = "start=" + std::to_string(startMs) + " pid=" + std::to_string(GetCurrentProcessId()) +
                       " cwd=" + ToUtf8(cwd) + " " + (fields.empty() ? std::string() : fields + " ") +
                       "cmd=" + ToUtf8(raw ? raw : L"") + "\n";
    return WriteAll(OwnFolder() + L"\\" + logName, line, true);
}

}  // namespace standin
