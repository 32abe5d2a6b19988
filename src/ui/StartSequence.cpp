// The splash dialog's side of the start sequence, the launch and the links: each member hands
// over to the launch (a state machine on this window's thread), and the dialog does what only
// a window can do for it: status line, continue link, showing and hiding, the progress of a
// long digest, and carrying the launch's events through its message queue.
#include <windows.h>
#include <commctrl.h>

#include "framework/WinApp.h"
#include "ui/EIPMfcAppDlg.h"
#include "util/DigestCodec.h"

// Only starts the checks (on a worker) and returns; should it stop at once, its box comes
// up here, before the dialog is ever seen.
void CEIPMfcAppDlg::RunStartSequence() { m_launch.Handle(LaunchEvent::Start); }

bool CEIPMfcAppDlg::LaunchMainProgram() { return m_launch.Handle(LaunchEvent::ContinueLink); }

void CEIPMfcAppDlg::OnNMClickContinueLink(NMHDR*, LRESULT* pResult) {
    // Refused by the launch unless an attempt has failed and none is under way.
    LaunchMainProgram();
    *pResult = 0;
}

void CEIPMfcAppDlg::OnNMClickServiceLink(NMHDR*, LRESULT* pResult) {
    m_launch.Handle(LaunchEvent::ServiceLink);
    *pResult = 0;
}

CString CEIPMfcAppDlg::DecodeConfigValue(const CString& value) { return DecodeDigestText(value); }

void CEIPMfcAppDlg::OnClose() { m_launch.Handle(LaunchEvent::CloseMessage); }

void CEIPMfcAppDlg::OnCancel() { m_launch.Handle(LaunchEvent::Escape); }

void CEIPMfcAppDlg::OnOK() { m_launch.Handle(LaunchEvent::Enter); }

BOOL CEIPMfcAppDlg::OnQueryEndSession() {
    // Answered at once: a logoff or shutdown never waits for the launcher.
    m_launch.Handle(LaunchEvent::QueryEndSession);
    return TRUE;
}

void CEIPMfcAppDlg::OnEndSession(BOOL bEnding) {
    if (bEnding) m_launch.Handle(LaunchEvent::EndSession);
}

LRESULT CEIPMfcAppDlg::OnLaunchEvent(WPARAM wParam, LPARAM) {
    m_launch.Handle(static_cast<LaunchEvent>(wParam));
    return 0;
}

LRESULT CEIPMfcAppDlg::OnLaunchProgress(WPARAM wParam, LPARAM lParam) {
    m_launch.OnProgress(reinterpret_cast<const wchar_t*>(lParam), static_cast<int>(wParam));
    return 0;
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

void CEIPMfcAppDlg::CLaunchWindow::Show() {
    // Seen for the first time while still initialising: where it will stand afterwards.
    if (!m_dialog.m_bShownOnce) m_dialog.CenterWindow();
    m_dialog.m_bShownOnce = true;
    m_dialog.ShowWindow(SW_SHOW);
}

void CEIPMfcAppDlg::CLaunchWindow::Post(LaunchEvent event) {
    ::PostMessageW(m_dialog.m_hWnd, WM_LAUNCH_EVENT, static_cast<WPARAM>(event), 0);
}

void CEIPMfcAppDlg::CLaunchWindow::PostProgress(const wchar_t* what, int percent) {
    ::PostMessageW(m_dialog.m_hWnd, WM_LAUNCH_PROGRESS, static_cast<WPARAM>(percent),
                   reinterpret_cast<LPARAM>(what));
}

void CEIPMfcAppDlg::CLaunchWindow::ShowProgress(const wchar_t* what, int percent) {
    if (m_dialog.m_nShownPercent < 0) {
        m_dialog.m_strStatusBeforeProgress.Empty();
        if (CWnd* status = m_dialog.GetDlgItem(IDC_STATIC_STATUS)) status->GetWindowText(m_dialog.m_strStatusBeforeProgress);
    }
    if (percent != m_dialog.m_nShownPercent) {
        m_dialog.m_nShownPercent = percent;
        CString text;
        text.Format(L"正在校验%ls……%d%%", what, percent);
        m_dialog.SetStatusText(text);
    }
    if (!m_dialog.IsWindowVisible()) Show();
}

void CEIPMfcAppDlg::CLaunchWindow::EndProgress() {
    // The next step, or a failure, says what comes now.
    if (m_dialog.m_nShownPercent < 0) return;
    m_dialog.m_nShownPercent = -1;
    m_dialog.SetStatusText(m_dialog.m_strStatusBeforeProgress);
}

void CEIPMfcAppDlg::CLaunchWindow::StartPause(DWORD ms) { m_dialog.SetTimer(PAUSE_TIMER, ms); }

void CEIPMfcAppDlg::CLaunchWindow::EndModalLoop(int result) {
    if (result >= 0) {
        m_dialog.EndDialog(result);
        return;
    }
    CWinApp* app = AfxGetApp();
    HWND mainWindow = (app && app->m_pMainWnd) ? app->m_pMainWnd->GetSafeHwnd() : nullptr;
    ::PostMessageW(mainWindow ? mainWindow : m_dialog.m_hWnd, WM_QUIT, 0, 0);
}

