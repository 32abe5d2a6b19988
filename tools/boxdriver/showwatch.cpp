// showwatch.dll: the hook procedure that ShowWatch (Driver.h) sets on the window thread of
// a watched process. It notes each top-level window that the thread makes visible, by
// ShowWindow or by a position change that shows it, however briefly it stays, and each
// dialog that the thread initialises.
#include <windows.h>

#include "ShowWatchBlock.h"

namespace {

ShowWatchBlock* Block() {
    // Mapped for the rest of the process's life: the hook may run until it ends.
    static ShowWatchBlock* block = nullptr;
    if (!block) {
        HANDLE mapping = OpenFileMappingW(FILE_MAP_WRITE, FALSE, ShowWatchBlockName(GetCurrentThreadId()).c_str());
        if (mapping) block = static_cast<ShowWatchBlock*>(MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, 0));
    }
    return block;
}

void Note(volatile LONG& count, HWND* list, HWND hwnd) {
    const LONG at = InterlockedIncrement(&count) - 1;
    if (at < ShowWatchBlock::kCapacity) list[at] = hwnd;
}

}  // namespace

extern "C" __declspec(dllexport) LRESULT CALLBACK WatchShows(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HC_ACTION) {
        const CWPSTRUCT& message = *reinterpret_cast<const CWPSTRUCT*>(lParam);
        const bool shows = (message.message == WM_SHOWWINDOW && message.wParam) ||
                           (message.message == WM_WINDOWPOSCHANGING &&
                            (reinterpret_cast<const WINDOWPOS*>(message.lParam)->flags & SWP_SHOWWINDOW));
        if ((shows || message.message == WM_INITDIALOG) && GetAncestor(message.hwnd, GA_ROOT) == message.hwnd) {
            if (ShowWatchBlock* block = Block()) {
                if (shows) Note(block->shown, block->shownWindows, message.hwnd);
                else Note(block->initialised, block->initialisedDialogs, message.hwnd);
            }
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}
