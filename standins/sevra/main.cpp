// Stand-in for the online-service window. It shows nothing: it appends one UTF-8 line to
// sevra.log beside itself and then stays running, as a conversation window would, until a
// file sevra.stop appears beside it (at most ten minutes). It removes that file as it
// ends, so the next start runs again.
//     start=<ms since 1970 UTC> pid=<id> cwd=<current folder> cmd=<raw command line>
#include <windows.h>

#include <string>

namespace {

std::wstring OwnFolder() {
    wchar_t path[MAX_PATH] = {};
    DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring p(path, n);
    size_t cut = p.find_last_of(L'\\');
    return cut == std::wstring::npos ? std::wstring() : p.substr(0, cut);
}

std::string Utf8(const std::wstring& text) {
    if (text.empty()) return std::string();
    int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], n, nullptr,
                        nullptr);
    return out;
}

void AppendStartLine(const std::wstring& logPath) {
    FILETIME ft = {};
    GetSystemTimeAsFileTime(&ft);
    ULONGLONG t = (static_cast<ULONGLONG>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
    ULONGLONG ms = (t - 116444736000000000ULL) / 10000ULL;
    wchar_t cwd[MAX_PATH + 1] = {};
    GetCurrentDirectoryW(MAX_PATH + 1, cwd);
    std::wstring line = L"start=" + std::to_wstring(ms) + L" pid=" +
                        std::to_wstring(GetCurrentProcessId()) + L" cwd=" + cwd +
                        L" cmd=" + GetCommandLineW() + L"\n";
    std::string bytes = Utf8(line);
    HANDLE file = CreateFileW(logPath.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    const std::wstring folder = OwnFolder();
    AppendStartLine(folder + L"\\sevra.log");
    const std::wstring stopFile = folder + L"\\sevra.stop";
    const DWORD limit = 10 * 60 * 1000;
    const DWORD started = GetTickCount();
    while (GetTickCount() - started < limit) {
        if (GetFileAttributesW(stopFile.c_str()) != INVALID_FILE_ATTRIBUTES) {
            DeleteFileW(stopFile.c_str());
            break;
        }
        Sleep(100);
    }
    return 0;
}
