#pragma once
#include "framework/CString.h"
#include "supervisor/LaunchOutcome.h"

// The warning box for an outcome; empty text for one that shows none (Ok, Abandoned).
struct OutcomeMessage {
    CString title;
    CString text;
};
OutcomeMessage MessageFor(const LaunchOutcome& outcome, const CString& appDir);

// The start sequence's status line after it stopped with `outcome`.
CString StatusTextFor(const LaunchOutcome& outcome);

// Shows the outcome's box, if it has one, without an owner; `appDir` is kept out of system texts.
void PresentOutcome(const LaunchOutcome& outcome, const CString& appDir);

// An error text that mentions the package's inner workings (its database, password or
// table names) is never shown as it is.
bool IsPackageInternalError(const CString& errorText);
