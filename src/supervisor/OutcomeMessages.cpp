#include "supervisor/OutcomeMessages.h"

#include "supervisor/ErrorText.h"
#include "util/DigestTask.h"
#include "util/InstallationNames.h"
#include "util/MessageBox.h"

const CString kNetFx4DownloadPage = L"https://www.microsoft.com/zh-cn/download/confirmation.aspx?id=22833";
const CString kVcRedistDownloadPage = L"https://aka.ms/vs/17/release/vc_redist.x86.exe";

namespace {

enum class Detail {
    None,
    ProductName,
    ErrorCode,
    SystemText,
    Text,
    TextPathsHidden,
    FileName,
    FileMissing,
    FileUnrecorded,
    FileDifferent,
};

struct OutcomeRow {
    LaunchStatus id;
    BoxKind box;
    const wchar_t* title;
    const wchar_t* text;
    Detail detail;
    const wchar_t* status;
    OutcomePage page;
};

constexpr OutcomeRow kOutcomeRows[] = {
#define VELMORA_OUTCOME(id, box, title, text, detail, status, page) \
    {LaunchStatus::id, BoxKind::box, title, text, Detail::detail, status, OutcomePage::page},
#include "supervisor/OutcomeList.h"
#undef VELMORA_OUTCOME
};

// The rows stand in the order of the enum they define, so a status is its row's index.
constexpr bool RowsInOrder() {
    for (size_t i = 0; i < sizeof kOutcomeRows / sizeof kOutcomeRows[0]; ++i) {
        if (static_cast<size_t>(kOutcomeRows[i].id) != i) return false;
    }
    return true;
}
static_assert(RowsInOrder(), "every outcome is the row of its own index");

const OutcomeRow& RowOf(LaunchStatus status) { return kOutcomeRows[static_cast<size_t>(status)]; }

const wchar_t* FileText(const VerifiedFile* file, Detail detail) {
    if (!file) return L"";
    switch (detail) {
    case Detail::FileMissing:
        return file->missingText;
    case Detail::FileUnrecorded:
        return file->unrecordedText;
    case Detail::FileDifferent:
        return file->differentText;
    case Detail::None:
    case Detail::ProductName:
    case Detail::ErrorCode:
    case Detail::SystemText:
    case Detail::Text:
    case Detail::TextPathsHidden:
    case Detail::FileName:
        break;
    }
    return file->name;
}

// What fills the text's %ls.
CString DetailOf(const LaunchOutcome& outcome, Detail detail, const CString& appDir) {
    switch (detail) {
    case Detail::None:
        return CString();
    case Detail::ProductName:
        return kProductName;
    case Detail::ErrorCode: {
        CString code;
        code.Format(L"%u", static_cast<unsigned>(outcome.error));
        return code;
    }
    case Detail::SystemText:
        return HidePathsInErrorText(
            SystemErrorText(outcome.error, outcome.text.IsEmpty() ? nullptr : outcome.text.GetString()), appDir);
    case Detail::Text:
        return outcome.text;
    case Detail::TextPathsHidden:
        return HidePathsInErrorText(outcome.text, appDir);
    case Detail::FileName:
    case Detail::FileMissing:
    case Detail::FileUnrecorded:
    case Detail::FileDifferent:
        return FileText(outcome.file, detail);
    }
    return CString();
}

// The row's text with its one %ls filled; texts hold no other format sequences.
CString Fill(const wchar_t* text, const CString& detail) {
    CString filled(text);
    const int at = filled.Find(L"%ls");
    if (at < 0) return filled;
    return filled.Left(at) + detail + filled.Mid(at + 3);
}

UINT StyleOf(BoxKind box) {
    switch (box) {
    case BoxKind::YesNo:
        return MB_YESNO | MB_ICONWARNING;
    case BoxKind::OkCancel:
        return MB_OKCANCEL | MB_ICONWARNING;
    case BoxKind::None:
    case BoxKind::Warning:
        break;
    }
    return MB_OK | MB_ICONWARNING;
}

}  // namespace

OutcomeMessage MessageFor(const LaunchOutcome& outcome, const CString& appDir) {
    const OutcomeRow& row = RowOf(outcome.status);
    OutcomeMessage message;
    message.box = row.box;
    if (row.title) message.title = row.title;
    if (row.text) message.text = Fill(row.text, DetailOf(outcome, row.detail, appDir));
    if (row.status) message.status = row.status;
    message.page = row.page;
    return message;
}

bool IsPackageInternalError(const CString& errorText) {
    const CString markers[] = {L"no such", L"unrecognized token", L"sql",
                               kPackagePassword, kPackageInfoTable, kPackageDataTable};
    for (const CString& marker : markers) {
        if (!marker.IsEmpty() && errorText.Find(marker) >= 0) return true;
    }
    return false;
}

LaunchOutcome ExtractionFailure(const CString& errorText) {
    if (IsPackageInternalError(errorText)) return LaunchOutcome::Of(LaunchStatus::ExtractionFailedInternal);
    if (errorText.IsEmpty()) return LaunchOutcome::Of(LaunchStatus::ExtractionFailedSilently);
    return LaunchOutcome::Of(LaunchStatus::ExtractionFailed, 0, errorText);
}

LaunchOutcome OutcomeOf(const ComponentLoadResult& loaded) {
    LaunchOutcome outcome;
    outcome.error = loaded.error;
    outcome.file = loaded.file;
    switch (loaded.status) {
    case ComponentLoadStatus::Loaded:
        outcome.status = LaunchStatus::Ok;
        break;
    case ComponentLoadStatus::FileMissing:
        outcome.status = LaunchStatus::ComponentFileMissing;
        break;
    case ComponentLoadStatus::NotShipped:
        outcome.status = LaunchStatus::ComponentNotShipped;
        break;
    case ComponentLoadStatus::LoadFailed:
        outcome.status = loaded.error == ERROR_MOD_NOT_FOUND ? LaunchStatus::ComponentNeedsVcRuntime
                                                             : LaunchStatus::ComponentLoadFailed;
        break;
    case ComponentLoadStatus::FactoryMissing:
        outcome.status = LaunchStatus::ComponentFactoryMissing;
        break;
    case ComponentLoadStatus::FactoryFailed:
        outcome.status = LaunchStatus::ComponentFactoryFailed;
        break;
    }
    return outcome;
}

COutcomePresenter::COutcomePresenter(const Installation& installation, const CString& websiteUrl,
                                     IMessageBoxPresenter& boxes, IWebPagePresenter& pages)
    : m_installation(installation), m_websiteUrl(websiteUrl), m_boxes(boxes), m_pages(pages) {}

int COutcomePresenter::Present(const LaunchOutcome& outcome) {
    const OutcomeMessage message = MessageFor(outcome, m_installation.folder);
    if (message.box == BoxKind::None) return IDOK;
    if (m_installation.prefetch) m_installation.prefetch->AbandonAll();
    const int answer = ShowMessageBoxWith(m_boxes, message.text, StyleOf(message.box), message.title);
    const bool pageFollows = message.box == BoxKind::YesNo ? answer == IDNO : message.box == BoxKind::Warning;
    if (pageFollows && message.page != OutcomePage::SoftList) Open(message.page);
    return answer;
}

void COutcomePresenter::OpenStopPage(const LaunchOutcome& outcome) {
    if (RowOf(outcome.status).page == OutcomePage::SoftList) Open(OutcomePage::SoftList);
}

void COutcomePresenter::Open(OutcomePage page) {
    switch (page) {
    case OutcomePage::None:
        return;
    case OutcomePage::NetFx4:
        m_pages.Open(kNetFx4DownloadPage);
        return;
    case OutcomePage::VcRedist:
        m_pages.Open(kVcRedistDownloadPage);
        return;
    case OutcomePage::SoftList:
        m_pages.Open(m_websiteUrl + L"/softlist");
        return;
    }
}
