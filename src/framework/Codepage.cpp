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

namespace {

// The code page a conversion with `codePage` really uses. The thread's code page is that of
// its locale; a locale without one of its own (Hindi, say) uses the system's.
UINT ResolveCodePage(UINT codePage) {
    if (codePage == CP_ACP) return GetACP();
    if (codePage == CP_OEMCP) return GetOEMCP();
    if (codePage != CP_THREAD_ACP) return codePage;
    UINT threadCodePage = 0;
    if (!GetLocaleInfoW(GetThreadLocale(), LOCALE_IDEFAULTANSICODEPAGE | LOCALE_RETURN_NUMBER,
                        reinterpret_cast<LPWSTR>(&threadCodePage), sizeof threadCodePage / sizeof(wchar_t))) {
        threadCodePage = 0;
    }
    return threadCodePage ? threadCodePage : GetACP();
}

// UTF-8 and GB18030 encode every character: no best fit and no default character can
// happen there, and the system refuses both questions (ERROR_INVALID_FLAGS,
// ERROR_INVALID_PARAMETER). What can fail is an unpaired surrogate, which the strict
// flag turns into an error instead of U+FFFD.
bool EncodesEveryCharacter(UINT codePage) { return codePage == CP_UTF8 || codePage == 54936; }

}  // namespace

bool WideToNarrowExact(const wchar_t* text, std::string& out, UINT codePage) {
    return WideToNarrowExact(text, out, codePage, &WideCharToMultiByte);
}

bool WideToNarrowExact(const wchar_t* text, std::string& out, UINT codePage, WideToMultiByteFunction convert) {
    out.clear();
    const int length = text ? static_cast<int>(std::wcslen(text)) : 0;
    if (length == 0) return true;
    const UINT page = ResolveCodePage(codePage);
    const bool complete = EncodesEveryCharacter(page);
    const DWORD flags = complete ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
    BOOL usedDefault = FALSE;
    BOOL* usedDefaultOut = complete ? nullptr : &usedDefault;
    const int needed = convert(page, flags, text, length, nullptr, 0, nullptr, usedDefaultOut);
    if (needed <= 0 || usedDefault) return false;
    std::string narrow(static_cast<size_t>(needed), '\0');
    if (convert(page, flags, text, length, &narrow[0], needed, nullptr, usedDefaultOut) != needed) return false;
    // The flag is the system's word; the way back is the proof.
    if (usedDefault || NarrowToWide(narrow.data(), needed, page) != text) return false;
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
