#pragma once
// Fixed names and process-wide state of the launcher. The constants never change; the
// state is decided at start-up on the one user-interface thread and read afterwards.
#include <windows.h>
#include "framework/CString.h"
#include "framework/Handles.h"
#include "util/DigestTask.h"
#include "util/Installation.h"
#include "util/InstallationNames.h"
#include "util/MainProgramArgs.h"
#include "util/ThreadOwnedMutex.h"

// Process-wide state.
extern CString g_strAppDir;          // launcher directory, no trailing backslash
extern CThreadOwnedMutex g_hAppMutex;  // the single-instance guard, owned by the user-interface thread
extern BOOL g_bNetFx4Installed;
extern BOOL g_bVcRuntimeInstalled;
extern bool g_bRuntimeLoaded;        // component libraries loaded, component object exists
extern const CString g_strWebsiteUrl;     // scheme and host, no trailing slash
extern const CString g_strServerAddress;  // dotted IPv4 address of the service server
extern const CString g_strServerPort;
extern CString g_strUiFontFace;      // face of the system's default GUI font

// Puts the face name of DEFAULT_GUI_FONT into g_strUiFontFace (unchanged on failure).
void UpdateUiFontFace();

// The digests of the installation's files that start-up begins at once, so that they run
// while the window is set up; taken by the checks that need them and abandoned once start-up
// is over, and before any box appears.
CDigestPrefetch& StartupDigests();
// This launcher's installation: g_strAppDir, the shipped fixed digests, the start-up digests.
Installation StartupInstallation();
