#pragma once
// The one place where text changes between UTF-16 and a narrow encoding. The launcher is
// wide throughout; narrow text exists only at the component boundary and in the
// length-prefixed string file (both in the thread's ANSI code page), in exception texts,
// and in the few UTF-8 files our own tools write.
#include <string>
#include "framework/CString.h"

// WideCharToMultiByte(codePage, 0, ...) with no default-character arguments: a character
// the code page cannot represent becomes the code page's default character.
std::string WideToNarrow(const wchar_t* text, UINT codePage = CP_THREAD_ACP);
std::string WideToNarrow(const wchar_t* text, int length, UINT codePage);
// The same conversion, exact or not at all: false, with `out` empty, when a character of
// `text` has no exact equivalent in the code page, which the call above would silently
// replace by a look-alike ("\u00E2" as "a", "\u00B2" as "2") or by the default character.
// Text that passes converts back to exactly `text`. Any code page, the thread's and the
// system's included, also when that is UTF-8 or GB18030 (where only an unpaired surrogate
// has no equivalent).
bool WideToNarrowExact(const wchar_t* text, std::string& out, UINT codePage = CP_THREAD_ACP);
// The same with the system's WideCharToMultiByte replaced (the flags each code page takes
// are the system's contract, which only a stricter stand-in can hold to in a test). The
// code page it is given is already resolved: never CP_ACP, CP_OEMCP or CP_THREAD_ACP.
using WideToMultiByteFunction = int(WINAPI*)(UINT codePage, DWORD flags, LPCWCH text, int length, LPSTR out,
                                             int outSize, LPCCH defaultChar, LPBOOL usedDefault);
bool WideToNarrowExact(const wchar_t* text, std::string& out, UINT codePage, WideToMultiByteFunction convert);
// MultiByteToWideChar(codePage, 0, ...) over exactly `length` bytes (zero bytes included).
CString NarrowToWide(const char* text, int length, UINT codePage = CP_THREAD_ACP);
CString NarrowToWide(const char* text, UINT codePage = CP_THREAD_ACP);

inline std::string ToUtf8(const wchar_t* text) { return WideToNarrow(text, CP_UTF8); }
inline CString FromUtf8(const std::string& text) {
    return NarrowToWide(text.data(), static_cast<int>(text.size()), CP_UTF8);
}
