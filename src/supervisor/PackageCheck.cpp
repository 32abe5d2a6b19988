// Package verification (to be completed by the launch work).
#include "ui/EIPMfcAppDlg.h"

CString CEIPMfcAppDlg::DecodeConfigValue(const CString& value) { return value; }

BOOL CEIPMfcAppDlg::ValidateDataFiles() { return TRUE; }

bool CEIPMfcAppDlg::EnsureMainProgram(const CString&, const CString&) { return true; }
