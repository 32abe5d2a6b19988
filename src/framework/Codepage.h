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
// The same conversion without best fit (WC_NO_BEST_FIT_CHARS): false, with `out` empty,
// when a character of `text` has no exact equivalent in the code page, which the call
// above would silently replace by a look-alike ("\u00E2" as "a", "\u00B2" as "2") or by the
// default character. Text that passes converts back to exactly `text`. For the ANSI and
// other single- and double-byte code pages, not for UTF-8.
bool WideToNarrowExact(const wchar_t* text, std::string& out, UINT codePage = CP_THREAD_ACP);
// MultiByteToWideChar(codePage, 0, ...) over exactly `length` bytes (zero bytes included).
CString NarrowToWide(const char* text, int length, UINT codePage = CP_THREAD_ACP);
CString NarrowToWide(const char* text, UINT codePage = CP_THREAD_ACP);

inline std::string ToUtf8(const wchar_t* text) { return WideToNarrow(text, CP_UTF8); }
inline CString FromUtf8(const std::string& text) {
    return NarrowToWide(text.data(), static_cast<int>(text.size()), CP_UTF8);
}
