#pragma once
// Dialogs of the framework: CDialogEx (modal and modeless, from a DIALOGEX resource),
// data exchange that binds controls to their C++ objects, and CButton for owner-drawn
// buttons.
#include "framework/Wnd.h"

class CDialogEx;

// Context of one data exchange: which dialog, and in which direction.
class CDataExchange {
public:
    CDataExchange(CWnd* dlgWnd, BOOL saveAndValidate) : m_bSaveAndValidate(saveAndValidate), m_pDlgWnd(dlgWnd) {}
    BOOL m_bSaveAndValidate;  // TRUE: controls to members; FALSE: members to controls
    CWnd* m_pDlgWnd;
};

// Binds the dialog's control `id` to `control` (subclassing it) the first time it is
// called. A control that the dialog does not have stays unbound; nothing else happens.
void DDX_Control(CDataExchange* pDX, int id, CWnd& control);

// Push button with owner drawing: the parent's WM_DRAWITEM for the button reaches the
// button object's DrawItem.
class CButton : public CWnd {
    DECLARE_DYNAMIC(CButton)
public:
    CButton() = default;
    // Paints an owner-drawn button. The base draws nothing.
    virtual void DrawItem(LPDRAWITEMSTRUCT drawItem);
    UINT GetState() const { return static_cast<UINT>(SendMessage(BM_GETSTATE)); }
    bool OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) override;
};

class CDialogEx : public CWnd {
    DECLARE_DYNAMIC(CDialogEx)
public:
    explicit CDialogEx(UINT nIDTemplate, CWnd* pParent = nullptr);
    ~CDialogEx() override;

    // Runs the dialog modally and returns the value given to EndDialog (IDOK/IDCANCEL
    // from the OK and cancel commands), or -1 when the window could not be created or the
    // loop ended on WM_QUIT (the quit message is then posted again for the outer loop).
    //
    // The window is created hidden (the template's WS_VISIBLE is cleared), OnInitDialog
    // runs, the dialog is centred, and the loop shows it the first time the thread's
    // queue is idle, if it is still hidden then (unless m_bShowOnIdle was cleared: the
    // dialog then shows itself when it wants to be seen). Keyboard navigation, Escape
    // (cancel) and Enter (OK) work through IsDialogMessage; the window is destroyed at the
    // end. This loop is the program's only message loop.
    virtual INT_PTR DoModal();
    // Creates the dialog modeless (visible as the template says). FALSE on failure.
    BOOL Create(UINT nIDTemplate, CWnd* pParent = nullptr);
    // Ends a modal dialog with `result`; a modeless one is hidden.
    void EndDialog(int result);
    // Exchanges data between controls and members (DoDataExchange).
    BOOL UpdateData(BOOL saveAndValidate = TRUE);

    UINT m_nIDHelp;  // the template id

protected:
    virtual void DoDataExchange(CDataExchange* pDX);
    // Applies the template's control-initialisation data, then binds the controls
    // (UpdateData(FALSE)). TRUE: the dialog manager focuses the first tab stop.
    virtual BOOL OnInitDialog();
    virtual void OnOK();
    virtual void OnCancel();
    // Sends each control of the dialog the initialisation record the resource holds for
    // it. TRUE also when there is none.
    BOOL ExecuteDlgInit(UINT nIDTemplate);
    // EndDialog has been called while the modal loop runs (or before it started).
    bool IsEndRequested() const { return m_bEndRequested; }

    // Whether the modal loop shows a dialog that is still hidden when the queue is first idle.
    bool m_bShowOnIdle = true;

    // The dialog body's colours are the system's (default processing).
    afx_msg HBRUSH OnCtlColor(CDC* pDC, CWnd* pWnd, UINT nCtlColor) { return CWnd::OnCtlColor(pDC, pWnd, nCtlColor); }

    DECLARE_MESSAGE_MAP()

private:
    static INT_PTR CALLBACK DialogProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
    HWND CreateFromTemplate(UINT nIDTemplate, HWND parent, bool hidden);
    int RunModalLoop();

    CWnd* m_pParentWnd;
    INT_PTR m_nModalResult = -1;
    bool m_bInModalLoop = false;
    bool m_bEndRequested = false;
};
