#pragma once
// The one place that decides what the user is shown for each outcome: the warning box's
// title and text, a web page opened once the box is closed, and the start sequence's
// status line.
#include "framework/CString.h"
#include "framework/Presenters.h"
#include "util/LaunchOutcome.h"

// The Visual C++ redistributable the component needs, offered when it is missing.
extern const CString kVcRedistDownloadPage;

// The warning box for an outcome (empty text for one that shows none: Ok, Abandoned,
// ComponentNotShipped), and the page to open after it (usually none). `appDir`
// is kept out of system texts.
struct OutcomeMessage {
    CString title;
    CString text;
    CString page;
};
OutcomeMessage MessageFor(const LaunchOutcome& outcome, const CString& appDir);

// The start sequence's status line after it stopped with `outcome`.
CString StatusTextFor(const LaunchOutcome& outcome);

// Shows the outcome's box, if it has one, without an owner, then opens its page, if any.
void PresentOutcome(const LaunchOutcome& outcome, const CString& appDir, IMessageBoxPresenter& boxes,
                    IWebPagePresenter& pages);
// The same through the presenters installed now.
void PresentOutcome(const LaunchOutcome& outcome, const CString& appDir);

// An error text that mentions the package's inner workings (its database, password or
// table names) is never shown as it is.
bool IsPackageInternalError(const CString& errorText);
