// Update hand-off (to be completed by the update work).
#include "ui/EIPMfcAppDlg.h"

bool CEIPMfcAppDlg::IsUpdatePending() { return false; }

bool CEIPMfcAppDlg::RunUpdater(bool) { return false; }
