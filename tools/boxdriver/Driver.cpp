#include "Driver.h"

#include <tlhelp32.h>

#include <algorithm>

#include "ShowWatchBlock.h"

namespace {
constexpr int kMessageTextId = 0xFFFF;

std::wstring WindowText(HWND hwnd) {
    int len = GetWindowTextLengthW(hwnd);
    std::wstring s(static_cast<size_t>(len) + 1, L'\0');
    int got = GetWindowTextW(hwnd, &s[0], len + 1);
    s.resize(static_cast<size_t>(got > 0 ? got : 0));
    return s;
}

bool IsDialogClass(HWND hwnd) {
    wchar_t cls[64] = {};
    GetClassNameW(hwnd, cls, 64);
    return lstrcmpW(cls, L"#32770") == 0;
}

bool IsMessageBox(HWND hwnd) { return IsDialogClass(hwnd) && GetDlgItem(hwnd, kMessageTextId) != nullptr; }

struct FindDialogArgs {
    const wchar_t* title;
    DWORD pid;
    HWND found;
};

BOOL CALLBACK CollectMessageBox(HWND hwnd, LPARAM lp) {
    auto* out = reinterpret_cast<std::vector<SeenBox>*>(lp);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid == GetCurrentProcessId() || !IsWindowVisible(hwnd) || !IsMessageBox(hwnd)) return TRUE;
    SeenBox box;
    box.hwnd = hwnd;
    box.pid = pid;
    box.title = WindowText(hwnd);
    box.text = WindowText(GetDlgItem(hwnd, kMessageTextId));
    out->push_back(box);
    return TRUE;
}

BOOL CALLBACK MatchDialog(HWND hwnd, LPARAM lp) {
    auto* a = reinterpret_cast<FindDialogArgs*>(lp);
    DWORD owner = 0;
    GetWindowThreadProcessId(hwnd, &owner);
    if ((a->pid && owner != a->pid) || owner == GetCurrentProcessId()) return TRUE;
    if (!IsDialogClass(hwnd) || IsMessageBox(hwnd) || WindowText(hwnd) != a->title) return TRUE;
    a->found = hwnd;
    return FALSE;
}
}  // namespace

std::vector<SeenBox> FindMessageBoxes() {
    std::vector<SeenBox> boxes;
    EnumWindows(CollectMessageBox, reinterpret_cast<LPARAM>(&boxes));
    return boxes;
}

bool PressBoxButton(HWND box, int buttonId) {
    HWND button = GetDlgItem(box, buttonId);
    if (!button) return false;
    return PostMessageW(box, WM_COMMAND, MAKEWPARAM(buttonId, BN_CLICKED), reinterpret_cast<LPARAM>(button)) != 0;
}

HWND FindDialogWindow(const wchar_t* title, DWORD pid) {
    FindDialogArgs args{title, pid, nullptr};
    EnumWindows(MatchDialog, reinterpret_cast<LPARAM>(&args));
    return args.found;
}

bool ClickControl(HWND dialog, int controlId) {
    HWND control = GetDlgItem(dialog, controlId);
    RECT rc;
    if (!control || !GetWindowRect(control, &rc)) return false;
    int x = (rc.left + rc.right) / 2, y = (rc.top + rc.bottom) / 2;
    if (!SetCursorPos(x, y)) return false;
    INPUT inputs[2] = {};
    inputs[0].type = INPUT_MOUSE;
    inputs[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    inputs[1].type = INPUT_MOUSE;
    inputs[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    Sleep(50);
    return SendInput(2, inputs, sizeof(INPUT)) == 2;
}

ShowWatch::~ShowWatch() {
    if (m_hook) UnhookWindowsHookEx(m_hook);
    if (m_block) UnmapViewOfFile(m_block);
}

bool ShowWatch::Attach(DWORD threadId) {
    m_mapping.reset(CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(ShowWatchBlock),
                                       ShowWatchBlockName(threadId).c_str()));
    if (!m_mapping) return false;
    m_block = static_cast<ShowWatchBlock*>(MapViewOfFile(m_mapping.get(), FILE_MAP_WRITE, 0, 0, 0));
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring library = self;
    library = library.substr(0, library.find_last_of(L'\\') + 1) + L"showwatch.dll";
    m_library.reset(LoadLibraryW(library.c_str()));
    if (!m_block || !m_library) return false;
    // A generic function pointer, given its true type through a void pointer.
    auto procedure =
        reinterpret_cast<HOOKPROC>(reinterpret_cast<void*>(GetProcAddress(m_library.get(), "WatchShows")));
    m_hook = procedure ? SetWindowsHookExW(WH_CALLWNDPROC, procedure, m_library.get(), threadId) : nullptr;
    return m_hook != nullptr;
}

namespace {
std::vector<HWND> Listed(const HWND* list, LONG count) {
    return std::vector<HWND>(list, list + std::min(count, ShowWatchBlock::kCapacity));
}
}  // namespace

std::vector<HWND> ShowWatch::Shown() const {
    return m_block ? Listed(m_block->shownWindows, m_block->shown) : std::vector<HWND>();
}

std::vector<HWND> ShowWatch::InitialisedDialogs() const {
    return m_block ? Listed(m_block->initialisedDialogs, m_block->initialised) : std::vector<HWND>();
}

DrivenProcess::~DrivenProcess() { Kill(); }

bool DrivenProcess::Start(const std::wstring& exe, const std::wstring& args, const std::wstring& cwd, HANDLE job,
                          ShowWatch* watch) {
    std::wstring dir = cwd;
    if (dir.empty()) {
        size_t slash = exe.find_last_of(L'\\');
        if (slash != std::wstring::npos) dir = exe.substr(0, slash);
    }
    std::wstring cmd = L"\"" + exe + L"\"";
    if (!args.empty()) cmd += L" " + args;
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    UniqueProcessInformation pi;
    if (!CreateProcessW(exe.c_str(), &cmd[0], nullptr, nullptr, FALSE, job || watch ? CREATE_SUSPENDED : 0, nullptr,
                        dir.empty() ? nullptr : dir.c_str(), &si, pi.put()))
        return false;
    PROCESS_INFORMATION raw = pi.get();
    if ((job && !AssignProcessToJobObject(job, raw.hProcess)) || (watch && !watch->Attach(raw.dwThreadId))) {
        TerminateProcess(raw.hProcess, 1);
        return false;
    }
    if (job || watch) ResumeThread(raw.hThread);
    m_pid = raw.dwProcessId;
    // Keep the process handle; the thread handle is closed with the record.
    HANDLE dup = nullptr;
    DuplicateHandle(GetCurrentProcess(), raw.hProcess, GetCurrentProcess(), &dup, 0, FALSE, DUPLICATE_SAME_ACCESS);
    m_process.reset(dup);
    m_reported.clear();
    return static_cast<bool>(m_process);
}

std::optional<SeenBox> DrivenProcess::WaitForBox(DWORD timeoutMs, DWORD onlyPid) {
    std::optional<SeenBox> found;
    WaitUntil(
        [&] {
            for (const SeenBox& box : FindMessageBoxes()) {
                if (onlyPid && box.pid != onlyPid) continue;
                if (std::find(m_reported.begin(), m_reported.end(), box.hwnd) != m_reported.end()) continue;
                // Give the box a moment to finish setting its texts.
                Sleep(50);
                SeenBox fresh = box;
                fresh.title = WindowText(box.hwnd);
                fresh.text = WindowText(GetDlgItem(box.hwnd, kMessageTextId));
                m_reported.push_back(box.hwnd);
                found = fresh;
                return true;
            }
            return false;
        },
        timeoutMs);
    return found;
}

bool DrivenProcess::WaitForExit(DWORD timeoutMs, DWORD* exitCode) {
    if (!m_process) return false;
    if (WaitForSingleObject(m_process.get(), timeoutMs) != WAIT_OBJECT_0) return false;
    DWORD code = 0;
    GetExitCodeProcess(m_process.get(), &code);
    if (exitCode) *exitCode = code;
    return true;
}

void DrivenProcess::Kill() {
    if (m_process && WaitForSingleObject(m_process.get(), 0) == WAIT_TIMEOUT) {
        TerminateProcess(m_process.get(), 1);
        WaitForSingleObject(m_process.get(), 5000);
    }
}

std::vector<SeenBox> DrivenProcess::AnswerUntilExit(const std::vector<int>& answers, DWORD timeoutMs, int fallback) {
    std::vector<SeenBox> seen;
    DWORD start = GetTickCount();
    size_t next = 0;
    while (GetTickCount() - start < timeoutMs) {
        if (WaitForSingleObject(m_process.get(), 0) == WAIT_OBJECT_0) {
            // Boxes of other processes (a restarted launcher) may still be up; report them.
            break;
        }
        std::optional<SeenBox> box = WaitForBox(100);
        if (!box) continue;
        seen.push_back(*box);
        PressBoxButton(box->hwnd, next < answers.size() ? answers[next] : fallback);
        ++next;
    }
    return seen;
}

std::vector<DWORD> ProcessesNamed(const wchar_t* name) {
    std::vector<DWORD> pids;
    UniqueSnapshot snap(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snap) return pids;
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL ok = Process32FirstW(snap.get(), &entry); ok; ok = Process32NextW(snap.get(), &entry)) {
        if (lstrcmpiW(entry.szExeFile, name) == 0) pids.push_back(entry.th32ProcessID);
    }
    return pids;
}
