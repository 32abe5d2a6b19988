// Launch of the main program (to be completed by the launch work).
#include "ui/EIPMfcAppDlg.h"

bool CEIPMfcAppDlg::LaunchMainProgram() { return true; }
