// Stand-in for the main program. Each run appends one UTF-8 line to kestrun.log beside
// itself:
//   start=<ms since 1970, UTC> pid=<id> cwd=<current folder> exit=<code> cmd=<command line>
// and is scripted through other files beside it:
//   kestrun.codes  whitespace-separated exit codes; the first is used and removed per run
//                  (no file or no number left: 0);
//   kestrun.child  when present, a child process is started (it stays in the same job),
//                  writes its pid to kestrun.child.pid and sleeps a minute;
//   kestrun.hold   when present, the run does not end until the file has been deleted.
#include <windows.h>

#include <cstdlib>
#include <string>

namespace {

const wchar_t kChildSwitch[] = L"--kestrun-child";

std::wstring OwnFolder() {
    wchar_t path[MAX_PATH] = {};
    DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring s(path, n);
    size_t slash = s.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring(L".") : s.substr(0, slash);
}

std::string ToUtf8(const std::wstring& text) {
    if (text.empty()) return std::string();
    int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], n, nullptr, nullptr);
    return out;
}

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

bool ReadAll(const std::wstring& path, std::string& bytes) {
    HANDLE f = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE) return false;
    bytes.clear();
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(f, buffer, sizeof buffer, &got, nullptr) && got > 0) bytes.append(buffer, got);
    CloseHandle(f);
    return true;
}

bool WriteAll(const std::wstring& path, const std::string& bytes, bool append) {
    HANDLE f = CreateFileW(path.c_str(), append ? FILE_APPEND_DATA : GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                           append ? OPEN_ALWAYS : CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    BOOL ok = WriteFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(f);
    return ok && written == bytes.size();
}

// Takes the first number of kestrun.codes and writes the rest back.
int NextExitCode(const std::wstring& folder) {
    std::wstring path = folder + L"\\kestrun.codes";
    std::string text;
    if (!ReadAll(path, text)) return 0;
    size_t begin = text.find_first_not_of(" \t\r\n");
    if (begin == std::string::npos) return 0;
    size_t end = text.find_first_of(" \t\r\n", begin);
    if (end == std::string::npos) end = text.size();
    int code = static_cast<int>(std::strtol(text.substr(begin, end - begin).c_str(), nullptr, 10));
    WriteAll(path, text.substr(end), false);
    return code;
}

long long NowMillisecondsSince1970() {
    FILETIME ft;
    GetSystemTimeAsFileTime(&ft);
    ULARGE_INTEGER t;
    t.LowPart = ft.dwLowDateTime;
    t.HighPart = ft.dwHighDateTime;
    return static_cast<long long>((t.QuadPart - 116444736000000000ULL) / 10000ULL);
}

int RunChild(const std::wstring& folder) {
    char pid[32];
    wsprintfA(pid, "%lu", GetCurrentProcessId());
    WriteAll(folder + L"\\kestrun.child.pid", pid, false);
    Sleep(60000);
    return 0;
}

void StartChild(const std::wstring& folder) {
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring commandLine = std::wstring(L"\"") + self + L"\" " + kChildSwitch;
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessW(self, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return;
    // Go on only once the child has recorded itself (or has died), so that whoever
    // watches the job finds the pid file whatever happens to the child afterwards.
    for (int i = 0; i < 250 && !Exists(folder + L"\\kestrun.child.pid"); ++i) {
        if (WaitForSingleObject(pi.hProcess, 20) == WAIT_OBJECT_0) break;
    }
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    const long long start = NowMillisecondsSince1970();
    const std::wstring folder = OwnFolder();
    const wchar_t* raw = GetCommandLineW();
    const std::wstring commandLine = raw ? raw : L"";

    if (commandLine.size() >= wcslen(kChildSwitch) &&
        commandLine.compare(commandLine.size() - wcslen(kChildSwitch), std::wstring::npos, kChildSwitch) == 0) {
        return RunChild(folder);
    }

    const int exitCode = NextExitCode(folder);
    wchar_t cwd[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, cwd);

    std::string line = "start=" + std::to_string(start) + " pid=" + std::to_string(GetCurrentProcessId()) +
                       " cwd=" + ToUtf8(cwd) + " exit=" + std::to_string(exitCode) + " cmd=" + ToUtf8(commandLine) +
                       "\n";
    WriteAll(folder + L"\\kestrun.log", line, true);

    if (Exists(folder + L"\\kestrun.child")) StartChild(folder);
    while (Exists(folder + L"\\kestrun.hold")) Sleep(20);
    return exitCode;
}
