// boxdriver: starts a program, reports and answers every message box that appears, and
// waits for the program to end, within a time bound. Used by the demo and by hand:
//
//   boxdriver [--answer B]... [--default B] [--timeout S] [--linger S] [--close-visible TITLE]
//             [--click-visible ID]... -- PROGRAM [ARG...]
//
//   --answer B           answer for the next box: ok, cancel, yes, no, abort, retry, ignore
//                        or a number; repeat for later boxes
//   --default B          answer for boxes beyond the --answer list (ok)
//   --timeout S          bound on the whole run in seconds (60)
//   --linger S           after PROGRAM ends, go on answering boxes of other processes (a
//                        restarted launcher, say) for S seconds (0)
//   --close-visible T    when a dialog titled T becomes visible, report it and, two seconds
//                        later, close it (WM_CLOSE)
//   --click-visible ID   before closing that dialog, click its control ID for real (cursor
//                        moved, button pressed); repeat for more clicks, one a second
//
// Prints one UTF-8 line per event: "start pid=…", "box pid=… title=… text=… answer=…",
// "visible title=… pid=…", "exit code=…" or "timeout". Exit status: the program's exit
// code, 124 on timeout, 125 when it could not be started, 2 for a bad command line.
#include <windows.h>

#include <cwchar>
#include <string>
#include <vector>

#include "Driver.h"

namespace {
void Print(const std::wstring& line) {
    std::wstring text = line + L"\n";
    int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<size_t>(n > 0 ? n : 0), '\0');
    if (n > 0) WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), &bytes[0], n, nullptr, nullptr);
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

std::wstring Escape(const std::wstring& s) {
    std::wstring out;
    for (wchar_t c : s) {
        if (c == L'\n') out += L"\\n";
        else if (c == L'\r') out += L"\\r";
        else out += c;
    }
    return out;
}

int ParseButton(const wchar_t* name) {
    static const struct { const wchar_t* name; int id; } names[] = {
        {L"ok", IDOK}, {L"cancel", IDCANCEL}, {L"abort", IDABORT}, {L"retry", IDRETRY},
        {L"ignore", IDIGNORE}, {L"yes", IDYES}, {L"no", IDNO}};
    for (const auto& n : names)
        if (_wcsicmp(n.name, name) == 0) return n.id;
    wchar_t* end = nullptr;
    long v = std::wcstol(name, &end, 10);
    return (end && *end == 0 && v > 0) ? static_cast<int>(v) : 0;
}

std::wstring Quote(const std::wstring& arg) {
    if (!arg.empty() && arg.find_first_of(L" \t\"") == std::wstring::npos) return arg;
    std::wstring out = L"\"";
    size_t backslashes = 0;
    for (wchar_t c : arg) {
        if (c == L'\\') { ++backslashes; continue; }
        if (c == L'"') out.append(backslashes * 2 + 1, L'\\');
        else out.append(backslashes, L'\\');
        backslashes = 0;
        out += c;
    }
    out.append(backslashes * 2, L'\\');
    return out + L"\"";
}

int Usage() {
    Print(L"usage: boxdriver [--answer B]... [--default B] [--timeout S] [--linger S] [--close-visible TITLE]"
          L" [--click-visible ID]... -- PROGRAM [ARG...]");
    return 2;
}
}  // namespace

int wmain(int argc, wchar_t** argv) {
    std::vector<int> answers;
    int fallback = IDOK;
    DWORD timeoutMs = 60000, lingerMs = 0;
    std::wstring closeTitle;
    std::vector<int> clicks;
    int i = 1;
    for (; i < argc; ++i) {
        std::wstring a = argv[i];
        if (a == L"--") { ++i; break; }
        if (i + 1 >= argc) return Usage();
        if (a == L"--answer" || a == L"--default") {
            int b = ParseButton(argv[++i]);
            if (!b) return Usage();
            if (a == L"--answer") answers.push_back(b); else fallback = b;
        } else if (a == L"--timeout") {
            timeoutMs = static_cast<DWORD>(_wtoi(argv[++i])) * 1000;
        } else if (a == L"--linger") {
            lingerMs = static_cast<DWORD>(_wtoi(argv[++i])) * 1000;
        } else if (a == L"--close-visible") {
            closeTitle = argv[++i];
        } else if (a == L"--click-visible") {
            clicks.push_back(_wtoi(argv[++i]));
        } else {
            return Usage();
        }
    }
    if (i >= argc) return Usage();

    std::wstring program = argv[i++];
    std::wstring args;
    for (; i < argc; ++i) args += (args.empty() ? L"" : L" ") + Quote(argv[i]);

    DrivenProcess proc;
    if (!proc.Start(program, args)) {
        Print(L"could not start " + program);
        return 125;
    }
    Print(L"start pid=" + std::to_wstring(proc.pid()));

    DWORD start = GetTickCount(), endedAt = 0, visibleAt = 0;
    size_t next = 0, nextClick = 0;
    bool ended = false;
    DWORD code = 0;
    for (;;) {
        DWORD now = GetTickCount();
        if (now - start >= timeoutMs) {
            Print(L"timeout");
            return 124;
        }
        if (!ended && proc.WaitForExit(0, &code)) {
            ended = true;
            endedAt = now;
            Print(L"exit code=" + std::to_wstring(code));
        }
        if (ended && now - endedAt >= lingerMs) break;

        if (auto box = proc.WaitForBox(100)) {
            int answer = next < answers.size() ? answers[next] : fallback;
            ++next;
            Print(L"box pid=" + std::to_wstring(box->pid) + L" title=" + Escape(box->title) + L" text=" +
                  Escape(box->text) + L" answer=" + std::to_wstring(answer));
            PressBoxButton(box->hwnd, answer);
        }
        if (!closeTitle.empty()) {
            HWND dlg = FindDialogWindow(closeTitle.c_str(), 0);
            if (dlg && IsWindowVisible(dlg)) {
                if (!visibleAt) {
                    visibleAt = now ? now : 1;
                    DWORD pid = 0;
                    GetWindowThreadProcessId(dlg, &pid);
                    Print(L"visible title=" + closeTitle + L" pid=" + std::to_wstring(pid));
                } else if (nextClick < clicks.size()) {
                    if (now - visibleAt >= 1000 * (nextClick + 1)) {
                        Print(L"click control=" + std::to_wstring(clicks[nextClick]));
                        ClickControl(dlg, clicks[nextClick]);
                        ++nextClick;
                    }
                } else if (now - visibleAt >= 1000 * (clicks.size() + 2)) {
                    PostMessageW(dlg, WM_CLOSE, 0, 0);
                    visibleAt = 0;
                }
            }
        }
    }
    return static_cast<int>(code);
}
