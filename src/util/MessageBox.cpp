#include "util/MessageBox.h"

#include "framework/Presenters.h"
#include "framework/Wnd.h"

int ShowMessageBox(const CString& text, UINT style, CString title, CWnd* owner) {
    if (title.IsEmpty()) title = L"提示";
    int answer = owner ? owner->MessageBox(text, title, style)
                       : MessageBoxPresenter().Show(nullptr, text, title, style);
    return (answer >= IDOK && answer <= IDNO) ? answer : IDCANCEL;
}

int ShowWarningBox(const CString& text, const CString& title, CWnd* owner) {
    return ShowMessageBox(text, MB_OK | MB_ICONWARNING, title, owner);
}

int ShowOkCancelBox(const CString& text, const CString& title, CWnd* owner) {
    return ShowMessageBox(text, MB_OKCANCEL | MB_ICONWARNING, title, owner);
}

int ShowYesNoBox(const CString& text, const CString& title, CWnd* owner) {
    return ShowMessageBox(text, MB_YESNO | MB_ICONWARNING, title, owner);
}
