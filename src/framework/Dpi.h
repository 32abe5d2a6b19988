#pragma once
// The resolution a window is shown at, on every Windows the launcher runs on. Measures in
// pixels are given for 96 DPI (100 %) and scaled from there.
#include <windows.h>

constexpr UINT kDefaultDpi = 96;

// The window's DPI: GetDpiForWindow where the system has it (Windows 10 1607 and later:
// the DPI of the window's monitor for a per-monitor aware program), otherwise the logical
// pixels per inch of the window's device context (the system DPI, which is also what
// dialog templates are scaled with there). Never 0.
UINT GetWindowDpi(HWND window);

// `pixels` at 96 DPI, at `dpi` (rounded to the nearest pixel).
inline int ScaleForDpi(int pixels, UINT dpi) { return MulDiv(pixels, static_cast<int>(dpi), kDefaultDpi); }
