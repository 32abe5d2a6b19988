#pragma once
// CWnd: a C++ object bound to a window handle.
//
// Binding: a window that an object takes over (SubclassWindow, dialogs, the framework's
// own control classes) is entered in a permanent map HWND -> CWnd*; its messages go
// through the object's message map and fall back to the window's previous procedure
// (comctl32 subclassing: SetWindowSubclass / DefSubclassProc). Handles that no object
// owns get a temporary wrapper from FromHandle, released when the modal loop is idle.
// Everything here runs on the user-interface thread.
#include <windows.h>
#include <commctrl.h>

#include "framework/CmdTarget.h"
#include "framework/CString.h"
#include "framework/Gdi.h"

#define afx_msg

// Message-map entry for every WM_CTLCOLORxxx message; the entry receives an AFX_CTLCOLOR
// record in lParam.
#ifndef WM_CTLCOLOR
#define WM_CTLCOLOR 0x0019
#endif
struct AFX_CTLCOLOR {
    HWND hWnd;      // the control (or the dialog itself for CTLCOLOR_DLG)
    HDC hDC;
    UINT nCtlType;  // CTLCOLOR_MSGBOX ... CTLCOLOR_STATIC
};

class CWnd : public CCmdTarget {
    DECLARE_DYNAMIC(CWnd)
public:
    CWnd() = default;
    // Clears the application's main-window pointer when it points here; a window still
    // bound to the object is released from it and destroyed.
    ~CWnd() override;
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    HWND GetSafeHwnd() const { return m_hWnd; }
    operator HWND() const { return GetSafeHwnd(); }

    // --- binding --------------------------------------------------------------------
    // The object bound to the window, or a temporary wrapper; null for a null handle.
    static CWnd* FromHandle(HWND hWnd);
    // The object bound to the window, or null.
    static CWnd* FromHandlePermanent(HWND hWnd);
    // Enters the window in the permanent map (no message routing).
    BOOL Attach(HWND hWnd);
    HWND Detach();
    // Binds the window and routes its messages through this object's message map.
    BOOL SubclassWindow(HWND hWnd);
    HWND UnsubclassWindow();
    // Releases the temporary wrappers (CWnd and CFont) handed out since the last call.
    static void DeleteTempMap();

    // --- messages -------------------------------------------------------------------
    // Routes one message: the message map first (with WM_CTLCOLORxxx translated and
    // WM_DRAWITEM reflected to the drawing control), then default processing.
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    // Default processing of the given message: the window's previous procedure.
    virtual LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    // Default processing of the message currently being handled; 0 outside a message.
    LRESULT Default();
    // A notification from the parent that belongs to this control (WM_DRAWITEM); true
    // when the control took it, with its result in *pResult.
    virtual bool OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult);
    // Called after the window is gone (WM_NCDESTROY); objects that delete themselves
    // override it.
    virtual void PostNcDestroy() {}

    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const {
        return ::SendMessageW(m_hWnd, message, wParam, lParam);
    }
    BOOL PostMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const {
        return ::PostMessageW(m_hWnd, message, wParam, lParam);
    }

    // --- window operations ----------------------------------------------------------
    CWnd* GetDlgItem(int id) const;
    int GetDlgCtrlID() const { return ::GetDlgCtrlID(m_hWnd); }
    CWnd* GetParent() const { return FromHandle(::GetParent(m_hWnd)); }
    BOOL ShowWindow(int cmdShow) { return ::ShowWindow(m_hWnd, cmdShow); }
    BOOL EnableWindow(BOOL enable = TRUE) { return ::EnableWindow(m_hWnd, enable); }
    BOOL IsWindowVisible() const { return ::IsWindowVisible(m_hWnd); }
    BOOL IsWindowEnabled() const { return ::IsWindowEnabled(m_hWnd); }
    BOOL IsIconic() const { return ::IsIconic(m_hWnd); }
    BOOL DestroyWindow();
    void SetWindowText(const wchar_t* text) { ::SetWindowTextW(m_hWnd, text); }
    void GetWindowText(CString& text) const;
    void GetWindowRect(LPRECT rect) const { ::GetWindowRect(m_hWnd, rect); }
    void GetClientRect(LPRECT rect) const { ::GetClientRect(m_hWnd, rect); }
    void ScreenToClient(LPPOINT pt) const { ::ScreenToClient(m_hWnd, pt); }
    void ClientToScreen(LPPOINT pt) const { ::ClientToScreen(m_hWnd, pt); }
    void MoveWindow(int x, int y, int width, int height, BOOL repaint = TRUE) {
        ::MoveWindow(m_hWnd, x, y, width, height, repaint);
    }
    void MoveWindow(LPCRECT rect, BOOL repaint = TRUE) {
        MoveWindow(rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top, repaint);
    }
    BOOL SetWindowPos(HWND insertAfter, int x, int y, int cx, int cy, UINT flags) {
        return ::SetWindowPos(m_hWnd, insertAfter, x, y, cx, cy, flags);
    }
    void Invalidate(BOOL erase = TRUE) { ::InvalidateRect(m_hWnd, nullptr, erase); }
    void UpdateWindow() { ::UpdateWindow(m_hWnd); }
    HWND SetFocus() { return ::SetFocus(m_hWnd); }
    HICON SetIcon(HICON icon, BOOL bigIcon) {
        return reinterpret_cast<HICON>(SendMessage(WM_SETICON, bigIcon ? ICON_BIG : ICON_SMALL,
                                                   reinterpret_cast<LPARAM>(icon)));
    }
    void SetFont(CFont* font, BOOL redraw = TRUE) {
        SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(font ? font->m_hObject : nullptr), redraw);
    }
    // The window's font as a temporary wrapper; null when it has none.
    CFont* GetFont() const;
    UINT_PTR SetTimer(UINT_PTR id, UINT elapse, TIMERPROC proc = nullptr) {
        return ::SetTimer(m_hWnd, id, elapse, proc);
    }
    BOOL KillTimer(UINT_PTR id) { return ::KillTimer(m_hWnd, id); }
    DWORD GetStyle() const { return static_cast<DWORD>(::GetWindowLongW(m_hWnd, GWL_STYLE)); }
    DWORD GetExStyle() const { return static_cast<DWORD>(::GetWindowLongW(m_hWnd, GWL_EXSTYLE)); }
    // Removes and adds style bits; `flags` non-zero also calls SetWindowPos with them
    // (plus SWP_NOSIZE|SWP_NOMOVE|SWP_NOZORDER|SWP_NOACTIVATE). True when the style changed.
    BOOL ModifyStyle(DWORD remove, DWORD add, UINT flags = 0);
    BOOL ModifyStyleEx(DWORD remove, DWORD add, UINT flags = 0);
    // Centres the window on `alternateOwner`, or, for a window without owner, on the work
    // area of its monitor; the result is kept inside that work area.
    void CenterWindow(CWnd* alternateOwner = nullptr);

    // A box owned by this window, through the message-box presenter.
    int MessageBox(const wchar_t* text, const wchar_t* caption = nullptr, UINT type = MB_OK);

    HWND m_hWnd = nullptr;

protected:
    // Default handlers: each passes its message on to default processing.
    afx_msg void OnPaint() { Default(); }
    afx_msg void OnShowWindow(BOOL, UINT) { Default(); }
    afx_msg void OnSize(UINT, int, int) { Default(); }
    afx_msg LRESULT OnNcHitTest(CPoint) { return Default(); }
    afx_msg HBRUSH OnCtlColor(CDC*, CWnd*, UINT) { return reinterpret_cast<HBRUSH>(Default()); }
    afx_msg HCURSOR OnQueryDragIcon() { return reinterpret_cast<HCURSOR>(Default()); }
    afx_msg void OnTimer(UINT_PTR) { Default(); }
    afx_msg void OnDestroy() { Default(); }
    afx_msg void OnMouseMove(UINT, CPoint) { Default(); }
    afx_msg void OnMouseLeave() { Default(); }
    afx_msg void OnClose() { Default(); }
    afx_msg BOOL OnQueryEndSession() { return static_cast<BOOL>(Default()); }
    afx_msg void OnEndSession(BOOL) { Default(); }
    // Reflects the drawing to the control's own object (a CButton's DrawItem); otherwise
    // default processing.
    afx_msg void OnDrawItem(int idCtl, LPDRAWITEMSTRUCT drawItem);

    DECLARE_MESSAGE_MAP()

private:
    struct CurrentMessage {
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
        bool valid;
    };
    static LRESULT CALLBACK SubclassProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam,
                                         UINT_PTR id, DWORD_PTR refData);
    friend LRESULT AfxCallWndProc(CWnd* wnd, HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
    void OnFinalMessage();

    CurrentMessage m_current{0, 0, 0, false};
    bool m_bSubclassed = false;
};

// Routes one message to the object, remembering it as the current message for Default.
// Window procedures of the framework's own window classes call this.
LRESULT AfxCallWndProc(CWnd* wnd, HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);

// ---------------------------------------------------------------------------------------
// Window-message entries of a message map (inside BEGIN_MESSAGE_MAP ... END_MESSAGE_MAP).
// Each unpacks WPARAM/LPARAM and calls the member of the class being mapped.

#define ON_WM_PAINT()                                                            \
    {WM_PAINT, 0, 0, [](CCmdTarget* t, WPARAM, LPARAM, LRESULT* r) {             \
         static_cast<ThisClass*>(t)->OnPaint();                                  \
         *r = 0;                                                                 \
     }},

#define ON_WM_QUERYDRAGICON()                                                    \
    {WM_QUERYDRAGICON, 0, 0, [](CCmdTarget* t, WPARAM, LPARAM, LRESULT* r) {     \
         *r = reinterpret_cast<LRESULT>(static_cast<ThisClass*>(t)->OnQueryDragIcon()); \
     }},

#define ON_WM_SHOWWINDOW()                                                       \
    {WM_SHOWWINDOW, 0, 0, [](CCmdTarget* t, WPARAM w, LPARAM l, LRESULT* r) {    \
         static_cast<ThisClass*>(t)->OnShowWindow(static_cast<BOOL>(w), static_cast<UINT>(l)); \
         *r = 0;                                                                 \
     }},

#define ON_WM_SIZE()                                                             \
    {WM_SIZE, 0, 0, [](CCmdTarget* t, WPARAM w, LPARAM l, LRESULT* r) {          \
         static_cast<ThisClass*>(t)->OnSize(static_cast<UINT>(w), static_cast<short>(LOWORD(l)), \
                                            static_cast<short>(HIWORD(l)));      \
         *r = 0;                                                                 \
     }},

#define ON_WM_NCHITTEST()                                                        \
    {WM_NCHITTEST, 0, 0, [](CCmdTarget* t, WPARAM, LPARAM l, LRESULT* r) {       \
         *r = static_cast<ThisClass*>(t)->OnNcHitTest(CPoint(l));                \
     }},

#define ON_WM_CTLCOLOR()                                                         \
    {WM_CTLCOLOR, 0, 0, [](CCmdTarget* t, WPARAM, LPARAM l, LRESULT* r) {        \
         const AFX_CTLCOLOR* cc = reinterpret_cast<const AFX_CTLCOLOR*>(l);      \
         CDC dc(cc->hDC);                                                        \
         *r = reinterpret_cast<LRESULT>(                                         \
             static_cast<ThisClass*>(t)->OnCtlColor(&dc, CWnd::FromHandle(cc->hWnd), cc->nCtlType)); \
     }},

#define ON_WM_TIMER()                                                            \
    {WM_TIMER, 0, 0, [](CCmdTarget* t, WPARAM w, LPARAM, LRESULT* r) {           \
         static_cast<ThisClass*>(t)->OnTimer(static_cast<UINT_PTR>(w));          \
         *r = 0;                                                                 \
     }},

#define ON_WM_DESTROY()                                                          \
    {WM_DESTROY, 0, 0, [](CCmdTarget* t, WPARAM, LPARAM, LRESULT* r) {           \
         static_cast<ThisClass*>(t)->OnDestroy();                                \
         *r = 0;                                                                 \
     }},

#define ON_WM_MOUSEMOVE()                                                        \
    {WM_MOUSEMOVE, 0, 0, [](CCmdTarget* t, WPARAM w, LPARAM l, LRESULT* r) {     \
         static_cast<ThisClass*>(t)->OnMouseMove(static_cast<UINT>(w), CPoint(l)); \
         *r = 0;                                                                 \
     }},

#define ON_WM_MOUSELEAVE()                                                       \
    {WM_MOUSELEAVE, 0, 0, [](CCmdTarget* t, WPARAM, LPARAM, LRESULT* r) {        \
         static_cast<ThisClass*>(t)->OnMouseLeave();                             \
         *r = 0;                                                                 \
     }},

// Handler for any window message: LRESULT Handler(WPARAM, LPARAM), whose result is the
// message's.
#define ON_MESSAGE(message, memberFxn)                                           \
    {static_cast<UINT>(message), 0, 0, [](CCmdTarget* t, WPARAM w, LPARAM l, LRESULT* r) { \
         *r = (static_cast<ThisClass*>(t)->*(memberFxn))(w, l);                  \
     }},

#define ON_WM_DRAWITEM()                                                         \
    {WM_DRAWITEM, 0, 0, [](CCmdTarget* t, WPARAM w, LPARAM l, LRESULT* r) {      \
         static_cast<ThisClass*>(t)->OnDrawItem(static_cast<int>(w),             \
                                                reinterpret_cast<LPDRAWITEMSTRUCT>(l)); \
         *r = TRUE;                                                              \
     }},

#define ON_WM_CLOSE()                                                            \
    {WM_CLOSE, 0, 0, [](CCmdTarget* t, WPARAM, LPARAM, LRESULT* r) {             \
         static_cast<ThisClass*>(t)->OnClose();                                  \
         *r = 0;                                                                 \
     }},

#define ON_WM_QUERYENDSESSION()                                                  \
    {WM_QUERYENDSESSION, 0, 0, [](CCmdTarget* t, WPARAM, LPARAM, LRESULT* r) {   \
         *r = static_cast<ThisClass*>(t)->OnQueryEndSession();                   \
     }},

#define ON_WM_ENDSESSION()                                                       \
    {WM_ENDSESSION, 0, 0, [](CCmdTarget* t, WPARAM w, LPARAM, LRESULT* r) {      \
         static_cast<ThisClass*>(t)->OnEndSession(static_cast<BOOL>(w));         \
         *r = 0;                                                                 \
     }},
