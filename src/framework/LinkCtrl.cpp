#include "framework/LinkCtrl.h"

#include "framework/DlgInit.h"
#include "framework/Handles.h"
#include "framework/Presenters.h"
#include "framework/WinApp.h"

IMPLEMENT_DYNAMIC(CMFCLinkCtrl, CWnd)

namespace {
const COLORREF kLinkColor = RGB(0, 0, 255);
}

bool AfxRegisterLinkControlClass() {
    HINSTANCE instance = AfxGetInstanceHandle();
    WNDCLASSEXW existing{};
    existing.cbSize = sizeof existing;
    if (::GetClassInfoExW(instance, AFX_LINKCTRL_CLASSNAME, &existing)) return true;
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.style = CS_DBLCLKS | CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = &CMFCLinkCtrl::WndProc;
    wc.hInstance = instance;
    wc.hCursor = ::LoadCursorW(nullptr, IDC_HAND);
    wc.lpszClassName = AFX_LINKCTRL_CLASSNAME;
    return ::RegisterClassExW(&wc) != 0;
}

LRESULT CALLBACK CMFCLinkCtrl::WndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        CMFCLinkCtrl* link = new CMFCLinkCtrl;
        if (!link->Attach(hWnd)) delete link;
    }
    CMFCLinkCtrl* link = static_cast<CMFCLinkCtrl*>(FromHandlePermanent(hWnd));
    if (!link) return ::DefWindowProcW(hWnd, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        LRESULT result = ::DefWindowProcW(hWnd, message, wParam, lParam);
        link->Detach();
        link->PostNcDestroy();
        return result;
    }
    return AfxCallWndProc(link, hWnd, message, wParam, lParam);
}

CString CMFCLinkCtrl::GetFullAddress() const {
    if (m_strURL.IsEmpty()) return CString();
    if (m_strURL.Find(L"://") >= 0) return m_strURL;
    return m_strURLPrefix + m_strURL;
}

CString CMFCLinkCtrl::GetTooltipText() const {
    if (m_bFullTextTooltip || m_strTooltip.IsEmpty()) return GetFullAddress();
    return m_strTooltip;
}

bool CMFCLinkCtrl::OpenLink() {
    CString address = GetFullAddress();
    if (address.IsEmpty()) return false;
    WebPagePresenter().Open(address);
    return true;
}

void CMFCLinkCtrl::ApplyInitText(const std::wstring& text) {
    std::wstring value;
    if (ExtractTaggedValue(text, L"MfcLinkUrl", &value)) m_strURL = value;
    if (ExtractTaggedValue(text, L"MfcLinkUrlPrefix", &value)) m_strURLPrefix = value;
    if (ExtractTaggedValue(text, L"MfcLinkTooltip", &value)) m_strTooltip = value;
    if (ExtractTaggedValue(text, L"MfcLinkFullTextTooltip", &value))
        m_bFullTextTooltip = CString(value).CompareNoCase(L"TRUE") == 0;
    UpdateTooltip();
}

void CMFCLinkCtrl::CreateTooltip() {
    if (m_hTooltip || !m_hWnd) return;
    m_hTooltip = ::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                                   CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, m_hWnd, nullptr,
                                   AfxGetInstanceHandle(), nullptr);
    if (!m_hTooltip) return;
    TOOLINFOW ti{};
    ti.cbSize = sizeof ti;
    ti.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    ti.hwnd = m_hWnd;
    ti.uId = reinterpret_cast<UINT_PTR>(m_hWnd);
    ti.lpszText = const_cast<wchar_t*>(L"");
    ::SendMessageW(m_hTooltip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&ti));
}

void CMFCLinkCtrl::UpdateTooltip() {
    if (!m_hTooltip) return;
    CString text = GetTooltipText();
    TOOLINFOW ti{};
    ti.cbSize = sizeof ti;
    ti.hwnd = m_hWnd;
    ti.uId = reinterpret_cast<UINT_PTR>(m_hWnd);
    ti.lpszText = const_cast<wchar_t*>(text.GetString());
    ::SendMessageW(m_hTooltip, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&ti));
}

void CMFCLinkCtrl::Paint(HDC dc) {
    CRect rc;
    GetClientRect(&rc);
    // The parent's background for static text (the dialog face in a dialog).
    HWND parent = ::GetParent(m_hWnd);
    HBRUSH background = parent ? reinterpret_cast<HBRUSH>(::SendMessageW(parent, WM_CTLCOLORSTATIC,
                                                                          reinterpret_cast<WPARAM>(dc),
                                                                          reinterpret_cast<LPARAM>(m_hWnd)))
                               : nullptr;
    ::FillRect(dc, &rc, background ? background : ::GetSysColorBrush(COLOR_3DFACE));

    LOGFONTW lf{};
    HFONT base = m_hFont ? m_hFont : static_cast<HFONT>(::GetStockObject(DEFAULT_GUI_FONT));
    ::GetObjectW(base, sizeof lf, &lf);
    lf.lfUnderline = TRUE;
    UniqueGdiObject underlined(::CreateFontIndirectW(&lf));
    ScopedSelectObject select(dc, underlined ? underlined.get() : base);

    CString text;
    GetWindowText(text);
    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, IsWindowEnabled() ? kLinkColor : ::GetSysColor(COLOR_GRAYTEXT));
    RECT textRect = rc;
    ::DrawTextW(dc, text, text.GetLength(), &textRect, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    if (::GetFocus() == m_hWnd) {
        RECT measured = rc;
        ::DrawTextW(dc, text, text.GetLength(), &measured, DT_LEFT | DT_SINGLELINE | DT_NOPREFIX | DT_CALCRECT);
        if (measured.right > rc.right) measured.right = rc.right;
        measured.top = rc.top;
        measured.bottom = rc.bottom;
        ::DrawFocusRect(dc, &measured);
    }
}

LRESULT CMFCLinkCtrl::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE:
        CreateTooltip();
        UpdateTooltip();
        return 0;
    case WM_AFX_INITCTRL:
        if (lParam) ApplyInitText(reinterpret_cast<const wchar_t*>(lParam));
        return 0;
    case WM_SETFONT:
        m_hFont = reinterpret_cast<HFONT>(wParam);
        if (LOWORD(lParam)) Invalidate();
        return 0;
    case WM_GETFONT:
        return reinterpret_cast<LRESULT>(m_hFont);
    case WM_SETTEXT: {
        LRESULT result = Default();
        Invalidate();
        return result;
    }
    case WM_ENABLE:
        Invalidate();
        return 0;
    case WM_ERASEBKGND:
        return 1;  // painted together with the text
    case WM_PAINT: {
        CPaintDC dc(this);
        Paint(dc);
        return 0;
    }
    case WM_PRINTCLIENT:
        Paint(reinterpret_cast<HDC>(wParam));
        return 0;
    case WM_SETCURSOR:
        ::SetCursor(::LoadCursorW(nullptr, IDC_HAND));
        return TRUE;
    case WM_GETDLGCODE:
        return DLGC_BUTTON;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
        Invalidate();
        return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        m_bPressed = true;
        ::SetCapture(m_hWnd);
        if (::GetFocus() != m_hWnd) ::SetFocus(m_hWnd);
        return 0;
    case WM_LBUTTONUP: {
        bool wasPressed = m_bPressed;
        m_bPressed = false;
        if (::GetCapture() == m_hWnd) ::ReleaseCapture();
        CRect rc;
        GetClientRect(&rc);
        if (wasPressed && rc.PtInRect(CPoint(lParam))) OpenLink();
        return 0;
    }
    case WM_CAPTURECHANGED:
        m_bPressed = false;
        return 0;
    case WM_KEYUP:
        if (wParam == VK_SPACE) {
            OpenLink();
            return 0;
        }
        break;
    case WM_DESTROY:
        if (m_hTooltip) {
            ::DestroyWindow(m_hTooltip);
            m_hTooltip = nullptr;
        }
        return 0;
    default:
        break;
    }
    return CWnd::WindowProc(message, wParam, lParam);
}
