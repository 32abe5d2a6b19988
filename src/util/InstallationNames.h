#pragma once
// The product, the files of an installation and the package's inner names: fixed, shared by the
// launcher and by whatever builds an installation.
#include "framework/CString.h"

extern const CString kProductName;           // display name; window title
extern const CString kServiceProgramName;    // online-service program, without ".exe"
extern const CString kAppConfFile;           // configuration with the recorded digests
extern const CString kComponentLibFile;      // first runtime component library
extern const CString kComponentApiFile;      // second library, exports the factory
extern const CString kMainProgramFile;       // the main program while it runs
extern const CString kMainProgramCacheFile;  // the main program's file between runs
extern const CString kProgramPackageFile;    // package the main program is extracted from
extern const CString kPackagePassword;
extern const CString kPackageInfoTable;
extern const CString kPackageDataTable;
extern const CString kUpdaterFile;

// The longest of the names above that the launcher joins to its folder (its own files, the
// update request's, the service program's): a folder must leave room for it.
CString LongestInstallationFileName();
