#pragma once
// Every message the launcher shows goes through these. All boxes look and answer alike:
// an exclamation icon, no extra flags, and an answer in 1..7 (anything else becomes 2,
// the same as Cancel, so a box that fails to appear never triggers a caller's action).
#include "framework/CString.h"

class CWnd;
class IMessageBoxPresenter;

int ShowMessageBox(const CString& text, UINT style, CString title, CWnd* owner);
int ShowWarningBox(const CString& text, const CString& title, CWnd* owner);    // OK
int ShowOkCancelBox(const CString& text, const CString& title, CWnd* owner);   // OK, Cancel
int ShowYesNoBox(const CString& text, const CString& title, CWnd* owner);      // Yes, No
// A box without owner, in the given style, through a given presenter.
int ShowMessageBoxWith(IMessageBoxPresenter& presenter, const CString& text, UINT style, const CString& title);
