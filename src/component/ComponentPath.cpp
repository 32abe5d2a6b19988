#include "component/ComponentPath.h"

#include <windows.h>

#include "framework/Codepage.h"

bool ComponentPathText(const CString& path, std::string& narrow) {
    if (WideToNarrowExact(path, narrow)) return true;
    // A volume without short names answers with the long path, which fails again below.
    wchar_t shortPath[MAX_PATH] = {};
    const DWORD length = GetShortPathNameW(path, shortPath, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return false;
    return WideToNarrowExact(shortPath, narrow);
}
