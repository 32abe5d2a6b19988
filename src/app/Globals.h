#pragma once
// Fixed names and process-wide state of the launcher. The constants never change; the
// state is decided at start-up on the one user-interface thread and read afterwards.
#include <windows.h>
#include "framework/CString.h"
#include "framework/Handles.h"

// Fixed names.
extern const CString kProductName;           // display name; window title
extern const CString kAppConfFile;           // configuration with the recorded digests
extern const CString kComponentLibFile;      // first runtime component library
extern const CString kComponentApiFile;      // second library, exports the factory
extern const CString kMainProgramFile;       // the main program while it runs
extern const CString kMainProgramCacheFile;  // the main program's file between runs
extern const CString kProgramPackageFile;    // package the main program is extracted from
extern const CString kPackagePassword;
extern const CString kPackageInfoTable;
extern const CString kPackageDataTable;
extern const CString kServiceProgramName;    // online-service program, without ".exe"
extern const CString kLaunchToken;           // position 1 of the main program's command line
extern const CString kUpdaterFile;
// Strings the main program expects at its command-line positions 3 to 10 and 12.
constexpr int kMainProgramFixedArgCount = 14;
extern const CString kMainProgramFixedArgs[kMainProgramFixedArgCount];

// Process-wide state.
extern CString g_strAppDir;          // launcher directory, no trailing backslash
extern UniqueOwnedMutex g_hAppMutex; // the single-instance guard, owned while held
extern BOOL g_bNetFx4Installed;
extern BOOL g_bVcRuntimeInstalled;
extern bool g_bRuntimeLoaded;        // component libraries loaded, component object exists
extern const CString g_strWebsiteUrl;     // scheme and host, no trailing slash
extern const CString g_strServerAddress;  // dotted IPv4 address of the service server
extern const CString g_strServerPort;
extern CString g_strUiFontFace;      // face of the system's default GUI font

// Puts the face name of DEFAULT_GUI_FONT into g_strUiFontFace (unchanged on failure).
void UpdateUiFontFace();
