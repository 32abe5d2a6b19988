// The splash dialog's side of the start sequence, the launch, the update hand-off and the
// service link: each member hands over to the window-free launch, and the dialog does
// what only a window can do for it (status line, continue link, showing and hiding,
// answering while digests run).
#include <windows.h>
#include <commctrl.h>

#include "framework/WinApp.h"
#include "ui/EIPMfcAppDlg.h"
#include "util/DigestCodec.h"

namespace {

// A wait shorter than this leaves the window unseen, as on every normal run.
const DWORD kShowProgressAfterMs = 1000;
const DWORD kProgressTickMs = 100;

}  // namespace

bool CEIPMfcAppDlg::RunStartSequence() { return m_launch.RunStartSequence(); }

void CEIPMfcAppDlg::OnNMClickContinueLink(NMHDR*, LRESULT* pResult) {
    // Refused by the launch while one is under way.
    LaunchMainProgram();
    *pResult = 0;
}

CString CEIPMfcAppDlg::DecodeConfigValue(const CString& value) { return DecodeDigestText(value); }

BOOL CEIPMfcAppDlg::ValidateDataFiles() { return m_launch.ValidateDataFiles(); }

bool CEIPMfcAppDlg::EnsureMainProgram(const CString&, const CString&) {
    // The launch holds the program from its verification to its start; checked alone, it
    // is let go again at once.
    CVerifiedProgram program;
    return m_launch.EnsureMainProgram(program);
}

bool CEIPMfcAppDlg::LaunchMainProgram() { return m_launch.LaunchMainProgram(); }

bool CEIPMfcAppDlg::IsUpdatePending() { return m_launch.IsUpdatePending(); }

bool CEIPMfcAppDlg::RunUpdater(bool bReportMissing) { return m_launch.RunUpdater(bReportMissing); }

void CEIPMfcAppDlg::OnNMClickServiceLink(NMHDR*, LRESULT* pResult) {
    m_launch.StartServiceWindow();
    *pResult = 0;
}

void CEIPMfcAppDlg::CLaunchWindow::ShowContinueLink(bool enabled) {
    HWND link = ::GetDlgItem(m_dialog.m_hWnd, IDC_LINK_CONTINUE);
    if (!link) return;
    ::ShowWindow(link, SW_SHOW);
    ::EnableWindow(link, enabled);
    // A link control created disabled may keep its link item disabled after the window
    // is enabled (Wine does); set the item itself too.
    LITEM item = {};
    item.mask = LIF_ITEMINDEX | LIF_STATE;
    item.iLink = 0;
    item.state = enabled ? LIS_ENABLED : 0;
    item.stateMask = LIS_ENABLED;
    ::SendMessageW(link, LM_SETITEM, 0, reinterpret_cast<LPARAM>(&item));
}

void CEIPMfcAppDlg::CLaunchWindow::Hide() { m_dialog.ShowWindow(SW_HIDE); }

void CEIPMfcAppDlg::CLaunchWindow::Show() { m_dialog.ShowWindow(SW_SHOW); }

bool CEIPMfcAppDlg::CLaunchWindow::WaitForDigest(CDigestTask& task, const wchar_t* what) {
    return m_dialog.WaitShowingProgress(task, what);
}

void CEIPMfcAppDlg::CLaunchWindow::EndModalLoop() {
    CWinApp* app = AfxGetApp();
    HWND mainWindow = (app && app->m_pMainWnd) ? app->m_pMainWnd->GetSafeHwnd() : nullptr;
    ::PostMessageW(mainWindow, WM_QUIT, 0, 0);
}

bool CEIPMfcAppDlg::WaitShowingProgress(CDigestTask& task, const wchar_t* what) {
    CString before;
    if (CWnd* status = GetDlgItem(IDC_STATIC_STATUS)) status->GetWindowText(before);
    m_nShownPercent = -1;
    const DWORD started = GetTickCount();
    HANDLE done = task.DoneEvent();
    bool finished = true;
    while (MsgWaitForMultipleObjects(1, &done, FALSE, kProgressTickMs, QS_ALLINPUT) != WAIT_OBJECT_0) {
        if (!PumpWaitingMessages()) {
            finished = false;
            break;
        }
        if (GetTickCount() - started >= kShowProgressAfterMs) ShowProgress(task.Progress(), what);
    }
    // The percentage is over: the next step, or a failure, says what comes now.
    if (m_nShownPercent >= 0 && ::IsWindow(m_hWnd)) SetStatusText(before);
    return finished;
}

bool CEIPMfcAppDlg::PumpWaitingMessages() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(msg.wParam));
            return false;
        }
        if (!::IsDialogMessageW(m_hWnd, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    return !IsEndRequested() && ::IsWindow(m_hWnd);
}

void CEIPMfcAppDlg::ShowProgress(const DigestProgress& progress, const wchar_t* what) {
    const unsigned long long total = progress.total;
    const int percent = total ? static_cast<int>(progress.done * 100 / total) : 0;
    if (percent != m_nShownPercent) {
        m_nShownPercent = percent;
        CString text;
        text.Format(L"正在校验%ls……%d%%", what, percent);
        SetStatusText(text);
    }
    if (!::IsWindowVisible(m_hWnd)) {
        // Seen for the first time while still initialising: where it will stand afterwards.
        CenterWindow();
        ShowWindow(SW_SHOW);
    }
}
