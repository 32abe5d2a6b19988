#pragma once
// Dialog half of the framework (declarations; the splash-window work fills this in).
#include "framework/Wnd.h"

#define afx_msg

struct CPoint : public POINT {
    CPoint() { x = 0; y = 0; }
    CPoint(int ax, int ay) { x = ax; y = ay; }
};

class CDC {
public:
    HDC m_hDC = nullptr;
};

class CFont {
public:
    HFONT m_hObject = nullptr;
};

class CDataExchange;

class CDialogEx : public CWnd {
public:
    explicit CDialogEx(UINT nIDTemplate, CWnd* pParent = nullptr);
    virtual INT_PTR DoModal();

protected:
    virtual void DoDataExchange(CDataExchange* pDX);
    virtual BOOL OnInitDialog();
};

class CButton : public CWnd {};
