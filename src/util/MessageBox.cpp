#include "util/MessageBox.h"

#include "framework/Presenters.h"
#include "framework/Wnd.h"

namespace {
int Normalised(int answer) { return (answer >= IDOK && answer <= IDNO) ? answer : IDCANCEL; }
const wchar_t* TitleOrDefault(const CString& title) { return title.IsEmpty() ? L"提示" : title.GetString(); }
}  // namespace

int ShowMessageBox(const CString& text, UINT style, CString title, CWnd* owner) {
    if (owner) return Normalised(owner->MessageBox(text, TitleOrDefault(title), style));
    return Normalised(MessageBoxPresenter().Show(nullptr, text, TitleOrDefault(title), style));
}

int ShowMessageBoxWith(IMessageBoxPresenter& presenter, const CString& text, UINT style, const CString& title) {
    return Normalised(presenter.Show(nullptr, text, TitleOrDefault(title), style));
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
