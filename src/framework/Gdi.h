#pragma once
// Geometry values and thin GDI wrappers: points, sizes and rectangles; a device context
// wrapper (non-owning, or owning for painting and client drawing); fonts owned by their
// object and deleted with it.
#include <windows.h>

#include "framework/CString.h"

class CWnd;

struct CPoint : public POINT {
    CPoint() { x = 0; y = 0; }
    CPoint(int ax, int ay) { x = ax; y = ay; }
    explicit CPoint(LPARAM packed) {
        // Signed halves, so that points left of or above the primary monitor stay negative.
        x = static_cast<short>(LOWORD(packed));
        y = static_cast<short>(HIWORD(packed));
    }
    bool operator==(const CPoint& o) const { return x == o.x && y == o.y; }
    bool operator!=(const CPoint& o) const { return !(*this == o); }
};

struct CSize : public SIZE {
    CSize() { cx = 0; cy = 0; }
    CSize(int w, int h) { cx = w; cy = h; }
};

struct CRect : public RECT {
    CRect() { left = top = right = bottom = 0; }
    CRect(int l, int t, int r, int b) { left = l; top = t; right = r; bottom = b; }
    CRect(const RECT& r) { left = r.left; top = r.top; right = r.right; bottom = r.bottom; }
    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    bool PtInRect(POINT pt) const { return ::PtInRect(this, pt) != FALSE; }
    bool IsRectEmpty() const { return ::IsRectEmpty(this) != FALSE; }
    operator LPRECT() { return this; }
    operator LPCRECT() const { return this; }
    bool operator==(const CRect& o) const { return ::EqualRect(this, &o) != FALSE; }
    bool operator!=(const CRect& o) const { return !(*this == o); }
};

// A GDI object owned by its wrapper: deleted when the wrapper goes or DeleteObject is
// called. Temporary wrappers (FromHandle) do not own what they wrap.
class CGdiObject {
public:
    CGdiObject() = default;
    virtual ~CGdiObject() { DeleteObject(); }
    CGdiObject(const CGdiObject&) = delete;
    CGdiObject& operator=(const CGdiObject&) = delete;

    HGDIOBJ GetSafeHandle() const { return m_hObject; }
    // Takes ownership of `object`; a previously held object is deleted first.
    BOOL Attach(HGDIOBJ object);
    // Gives up ownership and returns the handle.
    HGDIOBJ Detach();
    // Deletes the held object; FALSE when there is none or deletion failed.
    BOOL DeleteObject();

    HGDIOBJ m_hObject = nullptr;
};

class CFont : public CGdiObject {
public:
    operator HFONT() const { return static_cast<HFONT>(m_hObject); }

    // A font from a description. Fails (FALSE) when the wrapper already holds a font.
    BOOL CreateFontIndirect(const LOGFONTW* logFont);
    // A font of `pointSize` tenths of a point in `faceName`, for the screen (or `dc`):
    // height -MulDiv(vertical DPI, pointSize, 720), character set DEFAULT_CHARSET, the rest 0.
    BOOL CreatePointFont(int pointSize, const wchar_t* faceName, HDC dc = nullptr);
    // The same for `dpi` dots per inch (a per-monitor aware window's own resolution).
    BOOL CreatePointFontForDpi(int pointSize, const wchar_t* faceName, UINT dpi);
    // The description of the held font; FALSE when there is none.
    BOOL GetLogFont(LOGFONTW* logFont) const;

    // A wrapper for a font owned elsewhere; valid until the framework's temporary
    // objects are released (when the message loop is idle).
    static CFont* FromHandle(HFONT font);
};

// Device context wrapper. The base class does not own its context.
class CDC {
public:
    CDC() = default;
    explicit CDC(HDC dc) : m_hDC(dc) {}
    virtual ~CDC() = default;
    CDC(const CDC&) = delete;
    CDC& operator=(const CDC&) = delete;

    HDC GetSafeHdc() const { return m_hDC; }
    operator HDC() const { return m_hDC; }
    void Attach(HDC dc) { m_hDC = dc; }
    HDC Detach() { HDC dc = m_hDC; m_hDC = nullptr; return dc; }

    int SetBkMode(int mode) { return ::SetBkMode(m_hDC, mode); }
    COLORREF SetTextColor(COLORREF color) { return ::SetTextColor(m_hDC, color); }
    COLORREF SetBkColor(COLORREF color) { return ::SetBkColor(m_hDC, color); }
    HGDIOBJ SelectObject(HGDIOBJ object) { return ::SelectObject(m_hDC, object); }
    // Fills with a solid colour (a brush made for the call and deleted after it).
    void FillSolidRect(const RECT& rect, COLORREF color);
    int DrawText(const CString& text, RECT* rect, UINT format);
    CSize GetTextExtent(const CString& text) const;
    BOOL DrawIcon(int x, int y, HICON icon) { return ::DrawIcon(m_hDC, x, y, icon); }

    HDC m_hDC = nullptr;
};

// BeginPaint/EndPaint for the lifetime of the object.
class CPaintDC : public CDC {
public:
    explicit CPaintDC(CWnd* wnd);
    ~CPaintDC() override;
    PAINTSTRUCT m_ps{};

private:
    HWND m_hWnd;
};

// GetDC/ReleaseDC of a window's client area for the lifetime of the object.
class CClientDC : public CDC {
public:
    explicit CClientDC(HWND wnd);
    ~CClientDC() override;

private:
    HWND m_hWnd;
};

// Releases the temporary font wrappers handed out by CFont::FromHandle.
void AfxDeleteTempGdiObjects();
