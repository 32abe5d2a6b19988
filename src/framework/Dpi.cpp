#include "framework/Dpi.h"

#include "framework/Gdi.h"

namespace {
using GetDpiForWindowFunction = UINT(WINAPI*)(HWND);

// Looked up at run time: Windows 7, 8 and 8.1 do not have it.
GetDpiForWindowFunction SystemGetDpiForWindow() {
    static const GetDpiForWindowFunction function = [] {
        HMODULE user32 = GetModuleHandleW(L"user32.dll");
        FARPROC found = user32 ? GetProcAddress(user32, "GetDpiForWindow") : nullptr;
        return reinterpret_cast<GetDpiForWindowFunction>(reinterpret_cast<void*>(found));
    }();
    return function;
}
}  // namespace

UINT GetWindowDpi(HWND window) {
    if (GetDpiForWindowFunction getDpiForWindow = SystemGetDpiForWindow()) {
        if (const UINT dpi = getDpiForWindow(window)) return dpi;
    }
    CClientDC dc(window);
    const int dpi = dc.GetSafeHdc() ? GetDeviceCaps(dc, LOGPIXELSY) : 0;
    return dpi > 0 ? static_cast<UINT>(dpi) : kDefaultDpi;
}
