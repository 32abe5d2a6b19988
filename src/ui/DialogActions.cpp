// The splash dialog's links and hand-offs that are not part of the start sequence: the
// online-service link and the update hand-off after the main program's run.
#include "app/Globals.h"
#include "supervisor/ServiceWindow.h"
#include "supervisor/UpdateHandoff.h"
#include "ui/EIPMfcAppDlg.h"

void CEIPMfcAppDlg::OnNMClickServiceLink(NMHDR*, LRESULT* pResult) {
    StartServiceWindow(g_strAppDir, g_strServerAddress, g_strServerPort);
    *pResult = 0;
}

bool CEIPMfcAppDlg::IsUpdatePending() { return IsUpdatePendingIn(g_strAppDir); }

bool CEIPMfcAppDlg::RunUpdater(bool bReportMissing) { return StartUpdater(g_strAppDir, bReportMissing); }
