#pragma once
// What the show-watch hook (showwatch.dll, running in the watched thread) and ShowWatch (in
// the driver) share: a block of memory named after the watched thread.
#include <windows.h>

#include <string>

struct ShowWatchBlock {
    static const LONG kCapacity = 64;
    // How many were noted; the first kCapacity are listed.
    volatile LONG shown;
    volatile LONG initialised;
    HWND shownWindows[kCapacity];        // top-level windows made visible
    HWND initialisedDialogs[kCapacity];  // top-level dialogs that received WM_INITDIALOG
};

inline std::wstring ShowWatchBlockName(DWORD threadId) {
    return L"velmora-showwatch-" + std::to_wstring(threadId);
}
