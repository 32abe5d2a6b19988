#pragma once
// Loading a library by its full path, with the libraries it needs found beside it first
// and the current directory never searched first. Systems with the restricted-search
// loader (Windows 8 and later, Windows 7 with update KB2533623) keep the search to the
// library's own folder and the system folder. Older ones reject those flags with error 87;
// there the library is loaded with the altered search path, whose first folder is the
// library's own, and the current directory comes after the system folders.
#include <windows.h>

#include "framework/CString.h"

// True when the system has the restricted-search loader: kernel32 then exports
// AddDllDirectory, which came with it.
bool SystemHasRestrictedSearchLoader();

// Replaces the probe above for LoadLibraryByFullPath (tests); null puts the system's
// probe back. Returns the probe that was in place.
using LoaderProbe = bool (*)();
LoaderProbe SetLoaderProbeForTesting(LoaderProbe probe);

// LoadLibraryExW(path) with the flags the probe allows; null with the system's last
// error on failure.
HMODULE LoadLibraryByFullPath(const CString& path);
