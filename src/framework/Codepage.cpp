#include "framework/Codepage.h"

#include <cwchar>
#include <cstring>

std::string WideToNarrow(const wchar_t* text, int length, UINT codePage) {
    if (!text || length <= 0) return std::string();
    int needed = WideCharToMultiByte(codePage, 0, text, length, nullptr, 0, nullptr, nullptr);
    if (needed <= 0) return std::string();
    std::string out(static_cast<size_t>(needed), '\0');
    WideCharToMultiByte(codePage, 0, text, length, &out[0], needed, nullptr, nullptr);
    return out;
}

std::string WideToNarrow(const wchar_t* text, UINT codePage) {
    if (!text) return std::string();
    return WideToNarrow(text, static_cast<int>(std::wcslen(text)), codePage);
}

bool WideToNarrowExact(const wchar_t* text, std::string& out, UINT codePage) {
    out.clear();
    const int length = text ? static_cast<int>(std::wcslen(text)) : 0;
    if (length == 0) return true;
    BOOL usedDefault = FALSE;
    const int needed =
        WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, text, length, nullptr, 0, nullptr, &usedDefault);
    if (needed <= 0 || usedDefault) return false;
    std::string narrow(static_cast<size_t>(needed), '\0');
    WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, text, length, &narrow[0], needed, nullptr, &usedDefault);
    // The flag is the system's word; the way back is the proof.
    if (usedDefault || NarrowToWide(narrow.data(), needed, codePage) != text) return false;
    out = std::move(narrow);
    return true;
}

CString NarrowToWide(const char* text, int length, UINT codePage) {
    if (!text || length <= 0) return CString();
    int needed = MultiByteToWideChar(codePage, 0, text, length, nullptr, 0);
    if (needed <= 0) return CString();
    std::wstring out(static_cast<size_t>(needed), L'\0');
    MultiByteToWideChar(codePage, 0, text, length, &out[0], needed);
    return CString(std::move(out));
}

CString NarrowToWide(const char* text, UINT codePage) {
    if (!text) return CString();
    return NarrowToWide(text, static_cast<int>(std::strlen(text)), codePage);
}
