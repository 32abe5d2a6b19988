#pragma once
// CWnd: a C++ object bound to a window handle.
#include "framework/CmdTarget.h"
#include "framework/CString.h"

class CWnd : public CCmdTarget {
public:
    CWnd() = default;
    ~CWnd() override;
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    HWND GetSafeHwnd() const { return m_hWnd; }
    operator HWND() const { return GetSafeHwnd(); }

    // A box owned by this window, through the message-box presenter.
    int MessageBox(const wchar_t* text, const wchar_t* caption = nullptr, UINT type = MB_OK);

    HWND m_hWnd = nullptr;
};
