#pragma once
// Helpers shared by the component tests: where the binaries are, a launcher folder with
// chosen files under chosen names, and the library search pointed at it.
#include <windows.h>

#include <string>

#include "framework/CString.h"
#include "util/Installation.h"
#include "support/TestSupport.h"

// The build's bin folder (this program lives in bin\component-tests).
std::wstring BinDirectory();
// A file built beside this test program (the probe libraries).
std::wstring ProbeFile(const std::wstring& name);

// Copies `source` into `dir` under `name`; true on success.
bool CopyAs(const std::wstring& source, const std::wstring& dir, const std::wstring& name);
// Copies the build's component files into `dir`, all but the library with the factory
// (CsBrevinApi.dll), which a test brings in a form of its own; true on success.
bool CopyComponentCompanions(const std::wstring& dir);

// For the lifetime of the object: g_strAppDir is `dir` and the library search finds
// bare names there (after this program's own folder, which holds no component).
class ScopedLauncherDir {
public:
    explicit ScopedLauncherDir(const std::wstring& dir);
    ~ScopedLauncherDir();
    ScopedLauncherDir(const ScopedLauncherDir&) = delete;
    ScopedLauncherDir& operator=(const ScopedLauncherDir&) = delete;

private:
    CString m_previousAppDir;
};

class CRuntimeComponent;
// An installation in `folder` that takes the component files found there as the shipped
// ones (their digests are the fixed digests).
Installation InstalledComponent(const std::wstring& folder);
// Loads the component from the launcher folder set by ScopedLauncherDir and shows the outcome's box as start-up does; true when
// it loaded.
bool LoadInstalledComponent(CRuntimeComponent& holder);

// Names of the files in `dir` that match `pattern` (for example L"kpx*").
int CountFiles(const std::wstring& dir, const std::wstring& pattern);
