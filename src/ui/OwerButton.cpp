#include "ui/OwerButton.h"

#include "framework/Handles.h"

namespace {
constexpr int kMinFontHeight = 6;
constexpr int kMaxFontHeight = 72;
}  // namespace

IMPLEMENT_DYNAMIC(COwerButton, CButton)

BEGIN_MESSAGE_MAP(COwerButton, CButton)
    ON_WM_MOUSEMOVE()
    ON_WM_MOUSELEAVE()
END_MESSAGE_MAP()

COwerButton::COwerButton()
    : m_bHover(0),
      m_clrFace(RGB(58, 183, 167)),
      m_clrHover(RGB(30, 144, 255)),
      m_clrGlyph(RGB(255, 255, 255)),
      m_nFontHeight(12),
      m_nHoverFontHeight(12),
      m_strFontName(L"SimSun"),
      m_bTracking(FALSE) {}

COwerButton::~COwerButton() = default;

COwerButton& COwerButton::SetFaceColor(COLORREF color) {
    m_clrFace = color;
    return *this;
}

COwerButton& COwerButton::SetHoverColor(COLORREF color) {
    m_clrHover = color;
    return *this;
}

COwerButton& COwerButton::SetGlyphColor(COLORREF color) {
    m_clrGlyph = color;
    return *this;
}

void COwerButton::SetFontHeight(int height) {
    if (height >= kMinFontHeight && height <= kMaxFontHeight) m_nFontHeight = height;
}

void COwerButton::SetHoverFontHeight(int height) {
    if (height >= kMinFontHeight && height <= kMaxFontHeight) m_nHoverFontHeight = height;
}

void COwerButton::SetFontName(const CString& name) {
    LOGFONTW lf{};
    // The face field holds 31 characters and the terminator; a longer name is cut there
    // rather than written past the field.
    lstrcpynW(lf.lfFaceName, name, LF_FACESIZE);
    UniqueGdiObject probe(::CreateFontIndirectW(&lf));
    if (probe) m_strFontName = name;
}

CString COwerButton::GetDrawingFaceName() const {
    if (m_strFontName == m_strUiFontFace) return CString();
    return m_strFontName;
}

void COwerButton::OnMouseMove(UINT nFlags, CPoint point) {
    if (!m_bTracking) {
        m_bHover = 1;
        Invalidate(TRUE);
        TRACKMOUSEEVENT tme{};
        tme.cbSize = sizeof tme;  // 16 bytes
        tme.dwFlags = TME_HOVER | TME_LEAVE;
        tme.hwndTrack = m_hWnd;
        tme.dwHoverTime = 1;
        m_bTracking = ::_TrackMouseEvent(&tme);
    }
    CButton::OnMouseMove(nFlags, point);
}

void COwerButton::OnMouseLeave() {
    m_bHover = 0;
    m_bTracking = FALSE;
    Invalidate(FALSE);
}

void COwerButton::DrawItem(LPDRAWITEMSTRUCT lpDrawItemStruct) {
    if (!lpDrawItemStruct) return;
    CDC dc(lpDrawItemStruct->hDC);
    CRect rcItem(lpDrawItemStruct->rcItem);

    CString glyph;
    GetWindowText(glyph);

    const bool active = (lpDrawItemStruct->itemState & ODS_SELECTED) != 0 || m_bHover == 1;
    const COLORREF face = active ? m_clrHover : m_clrFace;
    const int height = active ? m_nHoverFontHeight : m_nFontHeight;
    const CString faceName = GetDrawingFaceName();

    UniqueGdiObject font(::CreateFontW(height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, 0, 0, 0, 0,
                                       faceName));
    ScopedSelectObject selectFont(dc, font.get());

    UniqueGdiObject brush(::CreateSolidBrush(face));
    if (brush) ::FillRect(dc, &rcItem, static_cast<HBRUSH>(brush.get()));

    CSize extent = dc.GetTextExtent(glyph);
    CRect rcText = rcItem;
    rcText.top += (rcItem.Height() - extent.cy) / 2;  // C++ division truncates toward zero

    dc.SetBkMode(TRANSPARENT);
    dc.SetTextColor(m_clrGlyph);
    dc.DrawText(glyph, &rcText, DT_CENTER | DT_RIGHT | DT_BOTTOM);  // 0x0B: centred, from the top
}
