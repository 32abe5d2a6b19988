// The caption button on its own: defaults, setters and their limits, the face-name rule,
// and what DrawItem paints for each state.
#include <gtest/gtest.h>

#include "app/Globals.h"
#include "ui/OwerButton.h"

namespace {

// Draws the button into a 35 x 35 memory bitmap and returns the colour at a corner.
struct Canvas {
    HDC dc;
    HBITMAP bmp;
    HGDIOBJ oldBmp;
    Canvas() {
        HDC screen = GetDC(nullptr);
        dc = CreateCompatibleDC(screen);
        bmp = CreateCompatibleBitmap(screen, 35, 35);
        ReleaseDC(nullptr, screen);
        oldBmp = SelectObject(dc, bmp);
    }
    ~Canvas() {
        SelectObject(dc, oldBmp);
        DeleteObject(bmp);
        DeleteDC(dc);
    }
};

}  // namespace

TEST(OwerButton, DefaultsAndRuntimeClass) {
    COwerButton b;
    EXPECT_FALSE(b.IsHovering());
    EXPECT_FALSE(b.IsTracking());
    EXPECT_EQ(b.GetFaceColor(), RGB(58, 183, 167));
    EXPECT_EQ(b.GetHoverColor(), RGB(30, 144, 255));
    EXPECT_EQ(b.GetGlyphColor(), RGB(255, 255, 255));
    EXPECT_EQ(b.GetFontHeight(), 12);
    EXPECT_EQ(b.GetHoverFontHeight(), 12);
    EXPECT_EQ(b.GetFontName(), L"SimSun");
    EXPECT_STREQ(b.GetRuntimeClass()->m_lpszClassName, "COwerButton");
    EXPECT_TRUE(b.IsKindOf(RUNTIME_CLASS(CButton)));
    EXPECT_FALSE(RUNTIME_CLASS(COwerButton)->CreateObject());  // not dynamically creatable
}

TEST(OwerButton, ColourSettersChainAndHeightsStayWithinSixToSeventyTwo) {
    COwerButton b;
    b.SetFaceColor(RGB(1, 2, 3)).SetHoverColor(RGB(4, 5, 6)).SetGlyphColor(RGB(7, 8, 9));
    EXPECT_EQ(b.GetFaceColor(), RGB(1, 2, 3));
    EXPECT_EQ(b.GetHoverColor(), RGB(4, 5, 6));
    EXPECT_EQ(b.GetGlyphColor(), RGB(7, 8, 9));

    b.SetFontHeight(5);
    EXPECT_EQ(b.GetFontHeight(), 12);
    b.SetFontHeight(73);
    EXPECT_EQ(b.GetFontHeight(), 12);
    b.SetFontHeight(6);
    EXPECT_EQ(b.GetFontHeight(), 6);
    b.SetFontHeight(72);
    EXPECT_EQ(b.GetFontHeight(), 72);
    b.SetFontHeight(-18);
    EXPECT_EQ(b.GetFontHeight(), 72);

    b.SetHoverFontHeight(5);
    EXPECT_EQ(b.GetHoverFontHeight(), 12);
    b.SetHoverFontHeight(73);
    EXPECT_EQ(b.GetHoverFontHeight(), 12);
    b.SetHoverFontHeight(6);
    EXPECT_EQ(b.GetHoverFontHeight(), 6);
    b.SetHoverFontHeight(72);
    EXPECT_EQ(b.GetHoverFontHeight(), 72);
}

TEST(OwerButton, FaceNameMatchingTheUiFontIsLeftToTheFontMapper) {
    COwerButton b;
    b.SetUiFontFace(L"SimHei");
    b.SetFontName(L"SimHei");
    EXPECT_EQ(b.GetFontName(), L"SimHei");
    EXPECT_EQ(b.GetDrawingFaceName(), L"");
    b.SetFontName(L"simhei");  // the comparison is case-sensitive
    EXPECT_EQ(b.GetDrawingFaceName(), L"simhei");
    b.SetFontName(L"Tahoma");
    EXPECT_EQ(b.GetDrawingFaceName(), L"Tahoma");

    // A name longer than the face field is cut there, not written past it.
    b.SetFontName(L"A face name that is far longer than thirty-one characters");
    EXPECT_EQ(b.GetFontName(), L"A face name that is far longer than thirty-one characters");
}

TEST(OwerButton, DrawItemPaintsFaceOrHoverColourAndRestoresTheFont) {
    HWND parent = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 100, 100, nullptr, nullptr,
                                  GetModuleHandleW(nullptr), nullptr);
    HWND button = CreateWindowExW(0, L"BUTTON", L"\u2715", WS_CHILD | BS_OWNERDRAW, 0, 0, 35, 35, parent,
                                  reinterpret_cast<HMENU>(1003), GetModuleHandleW(nullptr), nullptr);
    COwerButton b;
    ASSERT_TRUE(b.SubclassWindow(button));
    b.SetFaceColor(RGB(58, 183, 167)).SetHoverColor(RGB(251, 60, 60)).SetGlyphColor(RGB(255, 255, 255));
    b.SetFontHeight(18);
    b.SetHoverFontHeight(20);

    Canvas canvas;
    HGDIOBJ fontBefore = GetCurrentObject(canvas.dc, OBJ_FONT);
    auto draw = [&](UINT state) {
        DRAWITEMSTRUCT dis{};
        dis.CtlType = ODT_BUTTON;
        dis.CtlID = 1003;
        dis.hwndItem = button;
        dis.hDC = canvas.dc;
        dis.rcItem = RECT{0, 0, 35, 35};
        dis.itemState = state;
        b.DrawItem(&dis);
        return GetPixel(canvas.dc, 0, 0);
    };
    EXPECT_EQ(draw(0), RGB(58, 183, 167));
    EXPECT_EQ(draw(ODS_FOCUS), RGB(58, 183, 167));
    EXPECT_EQ(draw(ODS_DISABLED), RGB(58, 183, 167));
    EXPECT_EQ(draw(ODS_SELECTED), RGB(251, 60, 60));
    EXPECT_EQ(draw(ODS_SELECTED | ODS_FOCUS), RGB(251, 60, 60));
    EXPECT_EQ(GetCurrentObject(canvas.dc, OBJ_FONT), fontBefore);

    // The glyph is drawn in white somewhere inside the square.
    draw(0);
    int white = 0;
    for (int y = 0; y < 35; ++y)
        for (int x = 0; x < 35; ++x) white += GetPixel(canvas.dc, x, y) == RGB(255, 255, 255);
    EXPECT_GT(white, 0);
    DestroyWindow(parent);
}
