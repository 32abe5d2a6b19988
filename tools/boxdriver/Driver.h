#pragma once
// Drives the real launcher the way a user meets it: starts a program, finds the message
// boxes that programs show (top-level dialogs of class "#32770" with a message text),
// reports their title and text, presses a chosen button, and waits for the program to end,
// always within a time bound.
#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "framework/Handles.h"

struct SeenBox {
    HWND hwnd = nullptr;
    DWORD pid = 0;
    std::wstring title;
    std::wstring text;
};

// Every message box currently on screen, of any process but this one.
std::vector<SeenBox> FindMessageBoxes();
// Presses the button with this id (IDOK, IDCANCEL, IDYES, IDNO...) of a box.
bool PressBoxButton(HWND box, int buttonId);

// The first visible or hidden top-level window of class "#32770" titled `title` that
// belongs to process `pid` (any process when pid is 0) and is not a message box.
HWND FindDialogWindow(const wchar_t* title, DWORD pid = 0);
// A real mouse click (cursor moved, button pressed and released) at the centre of a
// child control of `dialog`.
bool ClickControl(HWND dialog, int controlId);

struct ShowWatchBlock;

// Watches the top-level windows that one thread of another process shows, however briefly
// they stay visible, through a hook (showwatch.dll, beside the driver's program) that runs
// in that thread. Attached before the process runs (DrivenProcess::Start), it sees every
// window the thread ever shows.
class ShowWatch {
public:
    ShowWatch() = default;
    ShowWatch(const ShowWatch&) = delete;
    ShowWatch& operator=(const ShowWatch&) = delete;
    ~ShowWatch();

    bool Attach(DWORD threadId);
    // Each time a window was made visible, in order.
    std::vector<HWND> Shown() const;
    // The dialogs that the thread initialised: the windows the watch can speak for.
    std::vector<HWND> InitialisedDialogs() const;

private:
    UniqueHandle m_mapping;
    ShowWatchBlock* m_block = nullptr;  // a view of m_mapping
    UniqueModule m_library;
    HHOOK m_hook = nullptr;
};

class DrivenProcess {
public:
    DrivenProcess() = default;
    DrivenProcess(const DrivenProcess&) = delete;
    DrivenProcess& operator=(const DrivenProcess&) = delete;
    ~DrivenProcess();

    // Starts `exe` with `args` appended to its quoted path, in `cwd` (the exe's folder
    // when empty). The process is started directly, in no job of ours unless `job` is
    // given: it is then put into that job before it runs its first instruction; `watch`,
    // when given, is attached to its first thread likewise.
    bool Start(const std::wstring& exe, const std::wstring& args = L"", const std::wstring& cwd = L"",
               HANDLE job = nullptr, ShowWatch* watch = nullptr);
    DWORD pid() const { return m_pid; }
    HANDLE handle() const { return m_process.get(); }

    // The next message box not reported before (of any process but the test, or only of
    // process `onlyPid`), or nothing when none appears within the time.
    std::optional<SeenBox> WaitForBox(DWORD timeoutMs, DWORD onlyPid = 0);
    // A box that this driver is to leave alone (another process's, watched elsewhere).
    void IgnoreBox(HWND box) { m_reported.push_back(box); }
    // Waits for the process to end; true with its exit code when it did.
    bool WaitForExit(DWORD timeoutMs, DWORD* exitCode = nullptr);
    // Ends the process if it still runs (and answers nothing).
    void Kill();

    // Answers every box that appears with the answers in order (then `fallback`) until the
    // process ends or the time is up; returns the boxes seen.
    std::vector<SeenBox> AnswerUntilExit(const std::vector<int>& answers, DWORD timeoutMs, int fallback = IDOK);

private:
    UniqueHandle m_process;
    DWORD m_pid = 0;
    std::vector<HWND> m_reported;
};

// Waits until `predicate` holds, checking every 50 ms; false when the time ran out.
template <typename Pred>
bool WaitUntil(Pred predicate, DWORD timeoutMs) {
    DWORD start = GetTickCount();
    for (;;) {
        if (predicate()) return true;
        if (GetTickCount() - start >= timeoutMs) return false;
        Sleep(50);
    }
}

// Process ids of running processes whose executable file name equals `name` (any case).
std::vector<DWORD> ProcessesNamed(const wchar_t* name);
