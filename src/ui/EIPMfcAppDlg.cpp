// The splash dialog's own window: painting of the title band, dragging by the band, the
// caption buttons, the status line and its blink. The start sequence, launch and service
// window members hand over to the launch (StartSequence.cpp).
#include "ui/EIPMfcAppDlg.h"

#include <algorithm>

#include "framework/Dpi.h"
#include "framework/Handles.h"
#include "framework/WinApp.h"
#include "util/InstallationNames.h"

namespace {
// Pixel measures at 96 DPI; the window scales them to its own resolution, as the dialog
// manager scales the template's dialog units and texts.
constexpr int kTitleBandHeight = 40;
constexpr int kCaptionButtonSize = 35;
constexpr int kCaptionButtonGap = 3;  // between the two buttons
constexpr COLORREF kBandColor = RGB(58, 183, 167);
constexpr COLORREF kMinHoverColor = RGB(129, 209, 199);
constexpr COLORREF kCloseHoverColor = RGB(251, 60, 60);
constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr int kGlyphHeight = 18;
constexpr int kGlyphHoverHeight = 20;
constexpr int kLargestGlyphHeight = 72;  // what a caption button takes
constexpr UINT_PTR kStatusBlinkTimer = 9999;
constexpr UINT kStatusBlinkPeriod = 800;
constexpr int kStatusFontPoints = 140;  // tenths of a point

// Both caption buttons look alike but for the colour they take under the pointer.
void StyleCaptionButton(COwerButton& button, COLORREF hoverColor, const CString& uiFontFace) {
    button.SetUiFontFace(uiFontFace);
    button.SetFaceColor(kBandColor);
    button.SetHoverColor(hoverColor);
    button.SetFontName(L"SimHei");
    button.SetGlyphColor(kWhite);
}

// The glyph heights for `dpi`, within what the button takes.
void ScaleCaptionGlyph(COwerButton& button, UINT dpi) {
    button.SetFontHeight(std::min(ScaleForDpi(kGlyphHeight, dpi), kLargestGlyphHeight));
    button.SetHoverFontHeight(std::min(ScaleForDpi(kGlyphHoverHeight, dpi), kLargestGlyphHeight));
    if (button.GetSafeHwnd()) button.Invalidate(TRUE);
}
}  // namespace

CEIPMfcAppDlg::CEIPMfcAppDlg(CWnd* pParent) : CEIPMfcAppDlg(SplashSettings(), pParent) {}

CEIPMfcAppDlg::CEIPMfcAppDlg(const SplashSettings& settings, CWnd* pParent)
    : CDialogEx(IDD_EIPMFCAPP_DIALOG, pParent),
      m_strUiFontFace(settings.uiFontFace),
      m_launch(settings.launch, m_launchWindow),
      m_hIcon(::LoadIconW(AfxGetResourceHandle(), MAKEINTRESOURCEW(IDI_SPLASH))) {
    // Seen only when the launch shows it: never on a normal run, not even for a frame.
    m_bShowOnIdle = false;
}

CEIPMfcAppDlg::~CEIPMfcAppDlg() {
    if (m_hWnd) DestroyWindow();
}

void CEIPMfcAppDlg::DoDataExchange(CDataExchange* pDX) {
    CDialogEx::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_BTN_MIN, m_btnMin);
    DDX_Control(pDX, IDC_BTN_CLOSE, m_btnClose);
}

BEGIN_MESSAGE_MAP(CEIPMfcAppDlg, CDialogEx)
    ON_WM_PAINT()
    ON_WM_QUERYDRAGICON()
    ON_WM_SHOWWINDOW()
    ON_WM_SIZE()
    ON_WM_NCHITTEST()
    ON_WM_CTLCOLOR()
    ON_BN_CLICKED(IDC_BTN_MIN, &CEIPMfcAppDlg::OnBnClickedBtnMin)
    ON_BN_CLICKED(IDC_BTN_CLOSE, &CEIPMfcAppDlg::OnBnClickedBtnClose)
    ON_WM_TIMER()
    ON_WM_DESTROY()
    ON_NOTIFY(NM_CLICK, IDC_LINK_SERVICE, &CEIPMfcAppDlg::OnNMClickServiceLink)
    ON_NOTIFY(NM_CLICK, IDC_LINK_CONTINUE, &CEIPMfcAppDlg::OnNMClickContinueLink)
    ON_WM_CLOSE()
    ON_WM_QUERYENDSESSION()
    ON_WM_ENDSESSION()
    ON_MESSAGE(WM_LAUNCH_EVENT, &CEIPMfcAppDlg::OnLaunchEvent)
    ON_MESSAGE(WM_LAUNCH_PROGRESS, &CEIPMfcAppDlg::OnLaunchProgress)
    ON_MESSAGE(WM_DPICHANGED, &CEIPMfcAppDlg::OnDpiChanged)
END_MESSAGE_MAP()

BOOL CEIPMfcAppDlg::OnInitDialog() {
    CDialogEx::OnInitDialog();

    SetIcon(m_hIcon, TRUE);
    SetIcon(m_hIcon, FALSE);
    SetWindowText(kProductName);

    m_nDpi = GetWindowDpi(m_hWnd);
    StyleCaptionButton(m_btnMin, kMinHoverColor, m_strUiFontFace);
    StyleCaptionButton(m_btnClose, kCloseHoverColor, m_strUiFontFace);
    LayOutCaptionButtons();

    if (CWnd* status = GetDlgItem(IDC_STATIC_STATUS)) {
        m_fontStatus.DeleteObject();
        if (m_fontStatus.CreatePointFontForDpi(kStatusFontPoints, L"楷体", m_nDpi)) status->SetFont(&m_fontStatus, TRUE);
        SetTimer(kStatusBlinkTimer, kStatusBlinkPeriod);
    }

    RunStartSequence();
    return TRUE;
}

int CEIPMfcAppDlg::Scaled(int pixels) const { return ScaleForDpi(pixels, m_nDpi); }

void CEIPMfcAppDlg::LayOutCaptionButtons() {
    ScaleCaptionGlyph(m_btnMin, m_nDpi);
    ScaleCaptionGlyph(m_btnClose, m_nDpi);
    CWnd* btnMin = GetDlgItem(IDC_BTN_MIN);
    CWnd* btnClose = GetDlgItem(IDC_BTN_CLOSE);
    if (!btnMin || !btnClose) return;
    // The window rectangle gives the width (at initialisation the dialog still stands where
    // the template puts it); the buttons go flush with the right edge.
    CRect rcWindow;
    GetWindowRect(&rcWindow);
    const int width = rcWindow.Width();
    const int size = Scaled(kCaptionButtonSize);
    btnMin->MoveWindow(width - 2 * size - Scaled(kCaptionButtonGap), 0, size, size, TRUE);
    btnClose->MoveWindow(width - size, 0, size, size, TRUE);
}

void CEIPMfcAppDlg::ReplaceStatusFont(const LOGFONTW& description) {
    CWnd* status = GetDlgItem(IDC_STATIC_STATUS);
    HFONT next = status ? ::CreateFontIndirectW(&description) : nullptr;
    if (!next) return;
    // The control gets the new font before the old one goes (at the end of this scope).
    UniqueGdiObject previous(m_fontStatus.Detach());
    m_fontStatus.Attach(next);
    status->SetFont(&m_fontStatus, TRUE);
}

LRESULT CEIPMfcAppDlg::OnDpiChanged(WPARAM wParam, LPARAM lParam) {
    // Per-monitor v2: the dialog manager scales the template's layout and fonts first.
    Default();
    m_nDpi = HIWORD(wParam) ? HIWORD(wParam) : GetWindowDpi(m_hWnd);
    if (const RECT* suggested = reinterpret_cast<const RECT*>(lParam)) {
        SetWindowPos(nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                     suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
    }
    LayOutCaptionButtons();
    // The status line's own font, in the weight it blinks at now.
    LOGFONTW description{};
    if (m_fontStatus.GetLogFont(&description)) {
        description.lfHeight = -MulDiv(static_cast<int>(m_nDpi), kStatusFontPoints, 720);
        ReplaceStatusFont(description);
    }
    Invalidate(TRUE);
    return 0;
}

void CEIPMfcAppDlg::SetStatusText(const CString& text) {
    if (CWnd* status = GetDlgItem(IDC_STATIC_STATUS)) status->SetWindowText(text);
}

void CEIPMfcAppDlg::OnPaint() {
    if (IsIconic()) {
        CPaintDC dc(this);
        SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc.GetSafeHdc()), 0);
        CRect rc;
        GetClientRect(&rc);
        int x = (rc.Width() - ::GetSystemMetrics(SM_CXICON) + 1) / 2;
        int y = (rc.Height() - ::GetSystemMetrics(SM_CYICON) + 1) / 2;
        dc.DrawIcon(x, y, m_hIcon);
        return;
    }
    // Keep the window frameless whatever styles it was given.
    ModifyStyle(WS_CAPTION | WS_THICKFRAME, 0);
    ModifyStyleEx(WS_EX_DLGMODALFRAME | WS_EX_CLIENTEDGE | WS_EX_WINDOWEDGE, 0);

    CPaintDC dc(this);
    CRect rcBand;
    GetClientRect(&rcBand);
    rcBand.bottom = Scaled(kTitleBandHeight);
    dc.FillSolidRect(rcBand, kBandColor);
    dc.SetBkMode(TRANSPARENT);
    CDialogEx::OnPaint();
}

HCURSOR CEIPMfcAppDlg::OnQueryDragIcon() { return static_cast<HCURSOR>(m_hIcon); }

void CEIPMfcAppDlg::OnShowWindow(BOOL bShow, UINT nStatus) { CDialogEx::OnShowWindow(bShow, nStatus); }

void CEIPMfcAppDlg::OnSize(UINT nType, int cx, int cy) { CDialogEx::OnSize(nType, cx, cy); }

LRESULT CEIPMfcAppDlg::OnNcHitTest(CPoint point) {
    CRect rcWindow;
    GetWindowRect(&rcWindow);
    if (rcWindow.top < point.y && point.y < rcWindow.top + Scaled(kTitleBandHeight)) return HTCAPTION;
    return CDialogEx::OnNcHitTest(point);
}

HBRUSH CEIPMfcAppDlg::OnCtlColor(CDC* pDC, CWnd* pWnd, UINT nCtlColor) {
    if (pWnd && pWnd->GetDlgCtrlID() == IDC_STATIC_TITLE) {
        pDC->SetTextColor(kWhite);
        pDC->SetBkMode(TRANSPARENT);
        return static_cast<HBRUSH>(::GetStockObject(NULL_BRUSH));
    }
    return CDialogEx::OnCtlColor(pDC, pWnd, nCtlColor);
}

void CEIPMfcAppDlg::OnBnClickedBtnMin() { ShowWindow(SW_MINIMIZE); }

// The question, and what its answer does, belong to the launch: work under way must wait for
// the answer.
void CEIPMfcAppDlg::OnBnClickedBtnClose() { m_launch.Handle(LaunchEvent::CloseButton); }

void CEIPMfcAppDlg::OnTimer(UINT_PTR nIDEvent) {
    if (nIDEvent == PAUSE_TIMER) {
        KillTimer(PAUSE_TIMER);
        m_launch.Handle(LaunchEvent::PauseOver);
        return;
    }
    if (nIDEvent == kStatusBlinkTimer) {
        CWnd* status = GetDlgItem(IDC_STATIC_STATUS);
        CFont* current = status ? status->GetFont() : nullptr;
        LOGFONTW lf{};
        if (current && current->GetLogFont(&lf)) {
            lf.lfWeight = (lf.lfWeight == FW_BOLD) ? FW_NORMAL : FW_BOLD;
            ReplaceStatusFont(lf);
        }
    }
    CDialogEx::OnTimer(nIDEvent);
}

void CEIPMfcAppDlg::OnDestroy() {
    CDialogEx::OnDestroy();
    KillTimer(kStatusBlinkTimer);
    KillTimer(PAUSE_TIMER);
}
