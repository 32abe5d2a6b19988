#pragma once
#include "framework/CString.h"
#include "supervisor/OutcomeMessages.h"

// Shows an outcome of start-up (a box, a page) through the presenters installed now, after
// letting go of the installation's files held by the start-up digests.
int PresentStartupOutcome(const LaunchOutcome& outcome);

// Refuses a launcher folder whose path leaves no room for the names of the installation's
// files (after its own warning): every file would look missing. True when start-up may go on.
bool CheckInstallationPath();
// Asks about missing runtimes, fixes the UI font face and loads the component when the
// .NET Framework 4 is present. False only when the user declined to go on.
bool CheckRuntimeEnvironment();
// Refuses a launcher directly on the desktop or without its runtime files (after its
// own warning). True when start-up may go on.
bool CheckInstallation();
