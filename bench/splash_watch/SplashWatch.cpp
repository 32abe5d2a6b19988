// Runs the launcher of an installation and watches its splash window: every 100 ms it
// notes whether the window is visible and what its status line says, until the main
// program has started; then it checks that the window is hidden while the program runs.
//
//   splash_watch.exe <installation folder>
//
// Prints one line per change ("t=<ms> visible=<0|1> status=<text>", UTF-8) and a summary:
// visible_while_verifying=<0|1>, status_changes=<n>, hidden_while_running=<0|1>.
#include <windows.h>

#include <cstdio>
#include <string>

#include "RuntimesPresent.h"
#include "framework/Codepage.h"
#include "framework/Handles.h"

namespace {

const int kStatusControl = 1011;

struct Finder {
    DWORD pid;
    HWND found;
};

BOOL CALLBACK FindDialog(HWND hwnd, LPARAM param) {
    Finder* finder = reinterpret_cast<Finder*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid == finder->pid && GetDlgItem(hwnd, kStatusControl)) {
        finder->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// Read without sending the launcher a message: its thread does not answer while it waits
// for the main program.
std::string StatusOf(HWND dialog) {
    wchar_t text[256] = {};
    GetWindowTextW(GetDlgItem(dialog, kStatusControl), text, 256);
    return ToUtf8(text);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: splash_watch.exe <installation folder>\n");
        return 2;
    }
    const std::wstring install = argv[1];
    RuntimesPresent runtimes;
    const std::wstring hold = install + L"\\kestrun.hold";
    const std::wstring log = install + L"\\kestrun.log";
    DeleteFileW(log.c_str());
    // The main program stays until the window has been looked at while it runs.
    UniqueFile holdFile(CreateFileW(hold.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    holdFile.reset();

    std::wstring line = L"\"" + install + L"\\Velmora.exe\"";
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    UniqueProcessInformation pi;
    if (!CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, install.c_str(), &si, pi.put())) {
        std::fprintf(stderr, "could not start the launcher\n");
        return 1;
    }
    const DWORD started = GetTickCount();
    bool everVisible = false, lastVisible = false;
    int statusChanges = 0;
    std::string lastStatus;
    while (!Exists(log) && GetTickCount() - started < 180000 &&
           WaitForSingleObject(pi.process(), 100) == WAIT_TIMEOUT) {
        Finder finder = {pi.get().dwProcessId, nullptr};
        EnumWindows(FindDialog, reinterpret_cast<LPARAM>(&finder));
        if (!finder.found) continue;
        const bool visible = IsWindowVisible(finder.found) != FALSE;
        const std::string status = StatusOf(finder.found);
        everVisible = everVisible || visible;
        if (visible != lastVisible || status != lastStatus) {
            if (status != lastStatus && visible) ++statusChanges;
            std::printf("t=%lu visible=%d status=%s\n", GetTickCount() - started, visible ? 1 : 0, status.c_str());
            lastVisible = visible;
            lastStatus = status;
        }
    }
    Sleep(300);
    Finder finder = {pi.get().dwProcessId, nullptr};
    EnumWindows(FindDialog, reinterpret_cast<LPARAM>(&finder));
    const bool hiddenWhileRunning = !finder.found || !IsWindowVisible(finder.found);
    DeleteFileW(hold.c_str());
    WaitForSingleObject(pi.process(), 60000);

    std::printf("main_program_started_ms=%lu\n", GetTickCount() - started);
    std::printf("visible_while_verifying=%d\nstatus_changes=%d\nhidden_while_running=%d\n", everVisible ? 1 : 0,
                statusChanges, hiddenWhileRunning ? 1 : 0);
    return 0;
}
