#include "app/Directories.h"

#include <shlobj.h>
#include <shlwapi.h>

#include "framework/Handles.h"
#include "framework/WinApp.h"

CString GetLauncherDirectory() {
    wchar_t buffer[MAX_PATH] = {};
    if (GetModuleFileNameW(AfxGetInstanceHandle(), buffer, MAX_PATH) != 0) {
        PathRemoveFileSpecW(buffer);
        return CString(buffer);
    }
    GetCurrentDirectoryW(MAX_PATH, buffer);
    return CString(buffer);
}

CString GetDesktopDirectory() {
    wchar_t buffer[MAX_PATH] = {};
    if (SHGetSpecialFolderPathW(nullptr, buffer, CSIDL_DESKTOPDIRECTORY, FALSE)) return CString(buffer);

    UniqueCoTaskString known;
    if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_Desktop, 0, nullptr, known.put())) && known)
        return CString(known.get());
    return CString();
}
