#include "framework/Gdi.h"

#include <memory>
#include <unordered_map>

#include "framework/Handles.h"
#include "framework/Wnd.h"

namespace {
// Non-owning font wrappers, released when the message loop is idle.
std::unordered_map<HFONT, std::unique_ptr<CFont>>& TempFonts() {
    static std::unordered_map<HFONT, std::unique_ptr<CFont>> fonts;
    return fonts;
}
}  // namespace

BOOL CGdiObject::Attach(HGDIOBJ object) {
    DeleteObject();
    m_hObject = object;
    return object != nullptr;
}

HGDIOBJ CGdiObject::Detach() {
    HGDIOBJ object = m_hObject;
    m_hObject = nullptr;
    return object;
}

BOOL CGdiObject::DeleteObject() {
    if (!m_hObject) return FALSE;
    HGDIOBJ object = Detach();
    return ::DeleteObject(object);
}

BOOL CFont::CreateFontIndirect(const LOGFONTW* logFont) {
    if (m_hObject || !logFont) return FALSE;
    m_hObject = ::CreateFontIndirectW(logFont);
    return m_hObject != nullptr;
}

BOOL CFont::CreatePointFont(int pointSize, const wchar_t* faceName, HDC dc) {
    HDC screen = nullptr;
    if (!dc) dc = screen = ::GetDC(nullptr);
    int dpiY = dc ? ::GetDeviceCaps(dc, LOGPIXELSY) : 96;
    if (screen) ::ReleaseDC(nullptr, screen);
    return CreatePointFontForDpi(pointSize, faceName, static_cast<UINT>(dpiY));
}

BOOL CFont::CreatePointFontForDpi(int pointSize, const wchar_t* faceName, UINT dpi) {
    LOGFONTW lf{};
    lf.lfCharSet = DEFAULT_CHARSET;
    if (faceName) lstrcpynW(lf.lfFaceName, faceName, LF_FACESIZE);
    lf.lfHeight = -::MulDiv(static_cast<int>(dpi), pointSize, 720);
    return CreateFontIndirect(&lf);
}

BOOL CFont::GetLogFont(LOGFONTW* logFont) const {
    if (!m_hObject || !logFont) return FALSE;
    return ::GetObjectW(m_hObject, sizeof(LOGFONTW), logFont) == sizeof(LOGFONTW);
}

CFont* CFont::FromHandle(HFONT font) {
    if (!font) return nullptr;
    auto& fonts = TempFonts();
    auto it = fonts.find(font);
    if (it != fonts.end()) return it->second.get();
    auto wrapper = std::make_unique<CFont>();
    wrapper->m_hObject = font;
    CFont* result = wrapper.get();
    fonts.emplace(font, std::move(wrapper));
    return result;
}

void AfxDeleteTempGdiObjects() {
    for (auto& entry : TempFonts()) entry.second->Detach();  // not ours to delete
    TempFonts().clear();
}

void CDC::FillSolidRect(const RECT& rect, COLORREF color) {
    UniqueGdiObject brush(::CreateSolidBrush(color));
    if (brush) ::FillRect(m_hDC, &rect, static_cast<HBRUSH>(brush.get()));
}

int CDC::DrawText(const CString& text, RECT* rect, UINT format) {
    return ::DrawTextW(m_hDC, text, text.GetLength(), rect, format);
}

CSize CDC::GetTextExtent(const CString& text) const {
    CSize size;
    ::GetTextExtentPoint32W(m_hDC, text, text.GetLength(), &size);
    return size;
}

CPaintDC::CPaintDC(CWnd* wnd) : m_hWnd(wnd ? wnd->GetSafeHwnd() : nullptr) {
    m_hDC = ::BeginPaint(m_hWnd, &m_ps);
}

CPaintDC::~CPaintDC() {
    if (m_hWnd) ::EndPaint(m_hWnd, &m_ps);
}

CClientDC::CClientDC(HWND wnd) : m_hWnd(wnd) { m_hDC = ::GetDC(wnd); }

CClientDC::~CClientDC() {
    if (m_hDC) ::ReleaseDC(m_hWnd, m_hDC);
}
