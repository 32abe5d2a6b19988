#pragma once
// What the user is shown for each outcome, read from the one list of outcomes
// (supervisor/OutcomeList.h), and the one place where boxes and web pages reach the user.
#include "component/RuntimeComponent.h"
#include "framework/CString.h"
#include "framework/Presenters.h"
#include "supervisor/LaunchOutcome.h"
#include "util/Installation.h"

enum class BoxKind { None, Warning, YesNo, OkCancel };
enum class OutcomePage { None, NetFx4, VcRedist, SoftList };

// Microsoft's download pages for the two runtimes the component needs.
extern const CString kNetFx4DownloadPage;
extern const CString kVcRedistDownloadPage;

struct OutcomeMessage {
    BoxKind box = BoxKind::None;
    CString title;
    CString text;
    CString status;  // the start sequence's status line after it stopped with the outcome
    OutcomePage page = OutcomePage::None;
};
// `appDir` is kept out of the system's texts.
OutcomeMessage MessageFor(const LaunchOutcome& outcome, const CString& appDir);

// An error text that mentions the package's inner workings (its database, password or
// table names) is never shown as it is.
bool IsPackageInternalError(const CString& errorText);
// A failed extraction as the outcome its error text calls for.
LaunchOutcome ExtractionFailure(const CString& errorText);
// How loading the component ended, as an outcome.
LaunchOutcome OutcomeOf(const ComponentLoadResult& loaded);

// Shows outcomes to the user. Before any box, every installation file still held by a
// digest that nobody has taken yet is let go: nobody is kept from them while the user reads.
class COutcomePresenter {
public:
    COutcomePresenter(const Installation& installation, const CString& websiteUrl, IMessageBoxPresenter& boxes,
                      IWebPagePresenter& pages);

    // The outcome's box, if it has one, then the page that follows it (after a warning, or
    // after the answer No to a question). Returns the answer; IDOK when no box was shown.
    int Present(const LaunchOutcome& outcome);
    // The page opened after the start sequence stopped with `outcome`, if its row has one.
    void OpenStopPage(const LaunchOutcome& outcome);

private:
    void Open(OutcomePage page);

    Installation m_installation;
    CString m_websiteUrl;
    IMessageBoxPresenter& m_boxes;
    IWebPagePresenter& m_pages;
};
