#pragma once
// Owner-drawn caption button: its window text drawn as one glyph on a flat square, with a
// second colour and a larger glyph while the pointer is over it or it is pressed. It knows
// nothing of what a click does; the parent acts on BN_CLICKED.
#include "framework/Dialog.h"

class COwerButton : public CButton {
    DECLARE_DYNAMIC(COwerButton)
public:
    COwerButton();
    ~COwerButton() override;

    COwerButton& SetFaceColor(COLORREF color);
    COwerButton& SetHoverColor(COLORREF color);
    COwerButton& SetGlyphColor(COLORREF color);
    // Heights in the button's logical units (pixels); values outside 6..72 are ignored.
    void SetFontHeight(int height);
    void SetHoverFontHeight(int height);
    // Takes the face name when a font can be made with it; otherwise keeps the old one.
    void SetFontName(const CString& name);
    // The face of the system's UI font (SimSun until told): a button font of that face is
    // left to the font mapper.
    void SetUiFontFace(const CString& face) { m_strUiFontFace = face; }

    void DrawItem(LPDRAWITEMSTRUCT lpDrawItemStruct) override;

    // Current look, for the owner and for tests.
    BOOL IsHovering() const { return m_bHover; }
    BOOL IsTracking() const { return m_bTracking; }
    COLORREF GetFaceColor() const { return m_clrFace; }
    COLORREF GetHoverColor() const { return m_clrHover; }
    COLORREF GetGlyphColor() const { return m_clrGlyph; }
    int GetFontHeight() const { return m_nFontHeight; }
    int GetHoverFontHeight() const { return m_nHoverFontHeight; }
    const CString& GetFontName() const { return m_strFontName; }
    // The face name the drawing uses: empty when the name is the UI font's own face, so
    // that the font mapper chooses.
    CString GetDrawingFaceName() const;

protected:
    afx_msg void OnMouseMove(UINT nFlags, CPoint point);
    afx_msg void OnMouseLeave();
    DECLARE_MESSAGE_MAP()

private:
    BOOL m_bHover;
    COLORREF m_clrFace;
    COLORREF m_clrHover;
    COLORREF m_clrGlyph;
    int m_nFontHeight;
    int m_nHoverFontHeight;
    CString m_strFontName;
    CString m_strUiFontFace = L"SimSun";
    BOOL m_bTracking;
};
