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
