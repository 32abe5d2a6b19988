#pragma once
// Helpers for tests that drive real windows under Wine: message pumping with a time
// bound, finding this thread's dialogs, and capturing a window's client area.
#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "framework/Handles.h"

namespace uitest {

// Dispatches this thread's messages for `ms` milliseconds.
inline void Pump(DWORD ms) {
    DWORD start = GetTickCount();
    for (;;) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) continue;  // not ours to end
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        DWORD elapsed = GetTickCount() - start;
        if (elapsed >= ms) return;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, ms - elapsed, QS_ALLINPUT);
    }
}

// Pumps until `done` is true or `timeoutMs` passed; returns `done()`.
inline bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs = 3000) {
    DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start >= timeoutMs) return done();
        Pump(20);
    }
    return true;
}

struct DialogSearch {
    const wchar_t* title;
    HWND found;
};

inline BOOL CALLBACK MatchDialog(HWND hWnd, LPARAM lParam) {
    auto* s = reinterpret_cast<DialogSearch*>(lParam);
    wchar_t cls[64] = {}, text[256] = {};
    GetClassNameW(hWnd, cls, 64);
    GetWindowTextW(hWnd, text, 256);
    if (lstrcmpW(cls, L"#32770") == 0 && lstrcmpW(text, s->title) == 0) {
        s->found = hWnd;
        return FALSE;
    }
    return TRUE;
}

// The first top-level dialog (#32770) of this thread whose title is `title`.
inline HWND FindThreadDialog(const wchar_t* title) {
    DialogSearch search{title, nullptr};
    EnumThreadWindows(GetCurrentThreadId(), &MatchDialog, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// A copy of a window's client area, as 0x00RRGGBB... read back as COLORREF values.
struct Capture {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> bgra;  // top-down rows, BGRA as in a 32-bit DIB
    COLORREF At(int x, int y) const {
        uint32_t p = bgra[static_cast<size_t>(y) * width + x];
        return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
    }
};

inline Capture CaptureClient(HWND hWnd) {
    Capture cap;
    RECT rc;
    GetClientRect(hWnd, &rc);
    cap.width = rc.right;
    cap.height = rc.bottom;
    if (cap.width <= 0 || cap.height <= 0) return cap;
    HDC windowDc = GetDC(hWnd);
    HDC memDc = CreateCompatibleDC(windowDc);
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = cap.width;
    bi.bmiHeader.biHeight = -cap.height;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP dib = CreateDIBSection(windowDc, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memDc, dib);
    BitBlt(memDc, 0, 0, cap.width, cap.height, windowDc, 0, 0, SRCCOPY);
    GdiFlush();
    cap.bgra.assign(static_cast<uint32_t*>(bits), static_cast<uint32_t*>(bits) + cap.width * cap.height);
    SelectObject(memDc, old);
    DeleteObject(dib);
    DeleteDC(memDc);
    ReleaseDC(hWnd, windowDc);
    return cap;
}

// Writes the capture as a 32-bit BMP file.
inline bool WriteBmp(const std::wstring& path, const Capture& cap) {
    BITMAPFILEHEADER fh{};
    BITMAPINFOHEADER ih{};
    DWORD dataSize = static_cast<DWORD>(cap.bgra.size() * 4);
    fh.bfType = 0x4D42;
    fh.bfOffBits = sizeof fh + sizeof ih;
    fh.bfSize = fh.bfOffBits + dataSize;
    ih.biSize = sizeof ih;
    ih.biWidth = cap.width;
    ih.biHeight = -cap.height;
    ih.biPlanes = 1;
    ih.biBitCount = 32;
    ih.biCompression = BI_RGB;
    UniqueFile file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    if (!file) return false;
    DWORD written = 0;
    return WriteFile(file.get(), &fh, sizeof fh, &written, nullptr) &&
           WriteFile(file.get(), &ih, sizeof ih, &written, nullptr) &&
           WriteFile(file.get(), cap.bgra.data(), dataSize, &written, nullptr);
}

}  // namespace uitest
