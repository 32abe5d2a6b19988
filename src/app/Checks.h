#pragma once
#include "supervisor/OutcomeMessages.h"
#include "framework/CString.h"

// Download pages offered when a runtime is missing (the VC++ one: kVcRedistDownloadPage).
extern const CString kNetFx4DownloadPage;

// Asks about missing runtimes, fixes the UI font face and loads the component when the
// .NET Framework 4 is present. False only when the user declined to go on.
bool CheckRuntimeEnvironment();
// Refuses a launcher directly on the desktop or without its runtime files (after its
// own warning). True when start-up may go on.
bool CheckInstallation();
