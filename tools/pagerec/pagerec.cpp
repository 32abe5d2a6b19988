// Records the web pages the shell was asked to open: one UTF-8 line per address in
// pagerec.log beside this program.
#include <windows.h>
#include <shellapi.h>

#include <string>

#include "framework/Handles.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
    int argc = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    UniqueLocalMem argvOwner(argv);
    std::wstring address = (argv && argc > 1) ? argv[1] : L"";

    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring log = self;
    log = log.substr(0, log.find_last_of(L'\\') + 1) + L"pagerec.log";

    int n = WideCharToMultiByte(CP_UTF8, 0, address.c_str(), static_cast<int>(address.size()), nullptr, 0, nullptr,
                                nullptr);
    std::string line(static_cast<size_t>(n > 0 ? n : 0), '\0');
    if (n > 0)
        WideCharToMultiByte(CP_UTF8, 0, address.c_str(), static_cast<int>(address.size()), &line[0], n, nullptr,
                            nullptr);
    line += "\r\n";

    // Appends in one write, retrying while another recorder holds the file.
    for (int attempt = 0; attempt < 50; ++attempt) {
        UniqueFile file(CreateFileW(log.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
        if (file) {
            DWORD written = 0;
            WriteFile(file.get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
            return 0;
        }
        Sleep(20);
    }
    return 1;
}
