// Online-service window (to be completed by the service work).
#include "ui/EIPMfcAppDlg.h"

void CEIPMfcAppDlg::OnNMClickServiceLink(NMHDR*, LRESULT* pResult) { *pResult = 0; }
