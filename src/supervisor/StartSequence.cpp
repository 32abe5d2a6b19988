// Start sequence of the splash dialog (to be completed by the launch work).
#include "ui/EIPMfcAppDlg.h"

bool CEIPMfcAppDlg::RunStartSequence() { return true; }

void CEIPMfcAppDlg::OnNMClickContinueLink(NMHDR*, LRESULT* pResult) { *pResult = 0; }
