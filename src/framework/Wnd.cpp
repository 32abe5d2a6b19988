#include "framework/Wnd.h"

#include "framework/Presenters.h"
#include "framework/WinApp.h"

CWnd::~CWnd() {
    CWinApp* app = AfxGetApp();
    if (app && app->m_pMainWnd == this) app->m_pMainWnd = nullptr;
}

int CWnd::MessageBox(const wchar_t* text, const wchar_t* caption, UINT type) {
    return MessageBoxPresenter().Show(m_hWnd, text, caption, type);
}
