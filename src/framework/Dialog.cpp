#include "framework/Dialog.h"

#include <cstring>
#include <vector>

#include "framework/DlgInit.h"
#include "framework/LinkCtrl.h"
#include "framework/WinApp.h"

IMPLEMENT_DYNAMIC(CButton, CWnd)
IMPLEMENT_DYNAMIC(CDialogEx, CWnd)

// ---------------------------------------------------------------------------------------
// Data exchange

void DDX_Control(CDataExchange* pDX, int id, CWnd& control) {
    if (!pDX || !pDX->m_pDlgWnd || control.GetSafeHwnd()) return;  // bound already
    HWND item = ::GetDlgItem(pDX->m_pDlgWnd->GetSafeHwnd(), id);
    if (item) control.SubclassWindow(item);
}

// ---------------------------------------------------------------------------------------
// CButton

void CButton::DrawItem(LPDRAWITEMSTRUCT) {}

bool CButton::OnChildNotify(UINT message, WPARAM, LPARAM lParam, LRESULT* pResult) {
    if (message != WM_DRAWITEM) return false;
    DrawItem(reinterpret_cast<LPDRAWITEMSTRUCT>(lParam));
    if (pResult) *pResult = TRUE;
    return true;
}

// ---------------------------------------------------------------------------------------
// CDialogEx

BEGIN_MESSAGE_MAP(CDialogEx, CWnd)
    ON_COMMAND(IDOK, &CDialogEx::OnOK)
    ON_COMMAND(IDCANCEL, &CDialogEx::OnCancel)
END_MESSAGE_MAP()

CDialogEx::CDialogEx(UINT nIDTemplate, CWnd* pParent) : m_nIDHelp(nIDTemplate), m_pParentWnd(pParent) {}

CDialogEx::~CDialogEx() = default;

void CDialogEx::DoDataExchange(CDataExchange*) {}

BOOL CDialogEx::UpdateData(BOOL saveAndValidate) {
    if (!m_hWnd) return FALSE;
    CDataExchange dx(this, saveAndValidate);
    DoDataExchange(&dx);
    return TRUE;
}

BOOL CDialogEx::OnInitDialog() {
    ExecuteDlgInit(m_nIDHelp);
    UpdateData(FALSE);
    return TRUE;
}

void CDialogEx::OnOK() {
    UpdateData(TRUE);
    EndDialog(IDOK);
}

void CDialogEx::OnCancel() { EndDialog(IDCANCEL); }

BOOL CDialogEx::ExecuteDlgInit(UINT nIDTemplate) {
    HINSTANCE instance = AfxGetResourceHandle();
    HRSRC resource = ::FindResourceW(instance, MAKEINTRESOURCEW(nIDTemplate), RT_DLGINIT);
    if (!resource) return TRUE;  // nothing to initialise
    HGLOBAL loaded = ::LoadResource(instance, resource);
    const void* data = loaded ? ::LockResource(loaded) : nullptr;
    if (!data) return FALSE;
    for (const DlgInitRecord& record : ParseDlgInit(data, ::SizeofResource(instance, resource))) {
        HWND control = ::GetDlgItem(m_hWnd, record.controlId);
        if (control)
            ::SendMessageW(control, record.message, 0, reinterpret_cast<LPARAM>(record.text.c_str()));
    }
    return TRUE;
}

INT_PTR CALLBACK CDialogEx::DialogProc(HWND hWnd, UINT message, WPARAM, LPARAM lParam) {
    // Only WM_INITDIALOG is handled here: it binds the object, whose subclass then sees
    // every later message first. Everything else is the dialog manager's default.
    if (message != WM_INITDIALOG) return FALSE;
    CDialogEx* dialog = reinterpret_cast<CDialogEx*>(lParam);
    if (!dialog || !dialog->SubclassWindow(hWnd)) return TRUE;
    CRect before;
    ::GetWindowRect(hWnd, &before);
    BOOL result = dialog->OnInitDialog();
    if (::IsWindow(hWnd) && dialog->m_hWnd == hWnd) {
        // A dialog that initialisation did not move is centred (the template has no
        // position of its own).
        CRect after;
        ::GetWindowRect(hWnd, &after);
        if (after.left == before.left && after.top == before.top) dialog->CenterWindow();
    }
    return result;
}

HWND CDialogEx::CreateFromTemplate(UINT nIDTemplate, HWND parent, bool hidden) {
    AfxRegisterLinkControlClass();
    HINSTANCE instance = AfxGetResourceHandle();
    HRSRC resource = ::FindResourceW(instance, MAKEINTRESOURCEW(nIDTemplate), RT_DIALOG);
    if (!resource) return nullptr;
    HGLOBAL loaded = ::LoadResource(instance, resource);
    const void* data = loaded ? ::LockResource(loaded) : nullptr;
    DWORD size = ::SizeofResource(instance, resource);
    if (!data || size < sizeof(DLGTEMPLATE)) return nullptr;

    // A private, DWORD-aligned copy, so that the style can be changed.
    std::vector<DWORD> copy((size + 3) / 4);
    std::memcpy(copy.data(), data, size);
    if (hidden) {
        WORD version, signature;
        std::memcpy(&version, copy.data(), 2);
        std::memcpy(&signature, reinterpret_cast<const BYTE*>(copy.data()) + 2, 2);
        // DLGTEMPLATEEX: dlgVer 1, signature 0xFFFF, helpID, exStyle, then style;
        // DLGTEMPLATE starts with the style.
        size_t styleOffset = (version == 1 && signature == 0xFFFF) ? 12 : 0;
        if (styleOffset + 4 > size) return nullptr;
        DWORD style;
        std::memcpy(&style, reinterpret_cast<BYTE*>(copy.data()) + styleOffset, 4);
        style &= ~static_cast<DWORD>(WS_VISIBLE);
        std::memcpy(reinterpret_cast<BYTE*>(copy.data()) + styleOffset, &style, 4);
    }
    return ::CreateDialogIndirectParamW(instance, reinterpret_cast<LPCDLGTEMPLATEW>(copy.data()), parent,
                                        &CDialogEx::DialogProc, reinterpret_cast<LPARAM>(this));
}

BOOL CDialogEx::Create(UINT nIDTemplate, CWnd* pParent) {
    if (m_hWnd) return FALSE;
    m_nIDHelp = nIDTemplate;
    if (pParent) m_pParentWnd = pParent;
    return CreateFromTemplate(nIDTemplate, m_pParentWnd ? m_pParentWnd->GetSafeHwnd() : nullptr, false) != nullptr;
}

void CDialogEx::EndDialog(int result) {
    if (m_bInModalLoop) {
        m_nModalResult = result;
        m_bEndRequested = true;
        if (m_hWnd) PostMessage(WM_NULL);  // wakes the loop if it waits
    } else if (m_hWnd) {
        ::EndDialog(m_hWnd, result);
    }
}

INT_PTR CDialogEx::DoModal() {
    if (m_hWnd) return -1;
    HWND parent = m_pParentWnd ? m_pParentWnd->GetSafeHwnd() : nullptr;
    bool parentDisabled = false;
    if (parent && ::IsWindowEnabled(parent)) {
        ::EnableWindow(parent, FALSE);
        parentDisabled = true;
    }

    m_nModalResult = -1;
    m_bEndRequested = false;
    m_bInModalLoop = true;
    HWND hWnd = CreateFromTemplate(m_nIDHelp, parent, true);
    if (hWnd && m_hWnd == hWnd && !m_bEndRequested) RunModalLoop();
    m_bInModalLoop = false;

    if (parentDisabled) ::EnableWindow(parent, TRUE);
    if (m_hWnd) {
        // Hide first, so that activation passes to the parent before the window goes.
        SetWindowPos(nullptr, 0, 0, 0, 0,
                     SWP_HIDEWINDOW | SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        if (parent && ::GetActiveWindow() == m_hWnd) ::SetActiveWindow(parent);
        DestroyWindow();
    }
    return m_nModalResult;
}

int CDialogEx::RunModalLoop() {
    bool showOnIdle = m_bShowOnIdle;  // only the first idle moment may show the dialog
    bool idle = true;
    MSG msg;
    for (;;) {
        while (idle && !::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE)) {
            if (showOnIdle) {
                showOnIdle = false;
                if (m_hWnd && !::IsWindowVisible(m_hWnd)) ShowWindow(SW_SHOWNORMAL);
            }
            DeleteTempMap();
            idle = false;
        }
        do {
            BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
            if (got == 0) {
                // WM_QUIT ends the dialog at once; the quit goes on to the outer loop.
                int code = static_cast<int>(msg.wParam);
                if (CWinApp* app = AfxGetApp()) app->m_nQuitCode = code;
                ::PostQuitMessage(code);
                m_nModalResult = -1;
                return -1;
            }
            if (got == -1) {
                m_nModalResult = -1;
                return -1;
            }
            if (!m_hWnd || !::IsDialogMessageW(m_hWnd, &msg)) {
                ::TranslateMessage(&msg);
                ::DispatchMessageW(&msg);
            }
            if (m_bEndRequested || !m_hWnd || !::IsWindow(m_hWnd)) return static_cast<int>(m_nModalResult);
            if (msg.message != WM_PAINT && msg.message != 0x0118 /* system timer (caret) */) idle = true;
        } while (::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE));
    }
}
