// GDI wrappers: font ownership, point fonts, temporary wrappers, packed points.
#include <gtest/gtest.h>

#include "framework/Gdi.h"
#include "framework/Wnd.h"

TEST(GdiFont, OwnedFontIsDeletedWithItsObjectAndDetachHandsItOver) {
    HGDIOBJ handle = nullptr;
    {
        CFont font;
        ASSERT_TRUE(font.CreatePointFont(140, L"Tahoma"));
        handle = font.m_hObject;
        EXPECT_EQ(GetObjectType(handle), static_cast<DWORD>(OBJ_FONT));
        // A second creation into the same object fails and keeps the first font.
        LOGFONTW lf{};
        EXPECT_FALSE(font.CreateFontIndirect(&lf));
        EXPECT_EQ(font.m_hObject, handle);
    }
    EXPECT_EQ(GetObjectType(handle), 0u);

    CFont font;
    ASSERT_TRUE(font.CreatePointFont(90, L"Tahoma"));
    HGDIOBJ kept = font.Detach();
    EXPECT_EQ(font.m_hObject, nullptr);
    EXPECT_FALSE(font.DeleteObject());
    EXPECT_EQ(GetObjectType(kept), static_cast<DWORD>(OBJ_FONT));
    DeleteObject(kept);
}

TEST(GdiFont, PointFontDescriptionFollowsTheScreenResolution) {
    HDC screen = GetDC(nullptr);
    int dpiY = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    CFont font;
    ASSERT_TRUE(font.CreatePointFont(140, L"楷体"));
    LOGFONTW lf{};
    ASSERT_TRUE(font.GetLogFont(&lf));
    EXPECT_EQ(lf.lfHeight, -MulDiv(dpiY, 140, 720));
    EXPECT_EQ(lf.lfWidth, 0);
    EXPECT_EQ(lf.lfWeight, 0);
    EXPECT_EQ(lf.lfCharSet, DEFAULT_CHARSET);
    EXPECT_STREQ(lf.lfFaceName, L"楷体");

    CFont empty;
    EXPECT_FALSE(empty.GetLogFont(&lf));
}

TEST(GdiFont, TemporaryWrappersDoNotOwnTheirFont) {
    CFont owner;
    ASSERT_TRUE(owner.CreatePointFont(100, L"Tahoma"));
    HFONT handle = owner;
    CFont* temp = CFont::FromHandle(handle);
    ASSERT_NE(temp, nullptr);
    EXPECT_EQ(CFont::FromHandle(handle), temp);
    EXPECT_EQ(CFont::FromHandle(nullptr), nullptr);
    CWnd::DeleteTempMap();
    EXPECT_EQ(GetObjectType(handle), static_cast<DWORD>(OBJ_FONT));
}

TEST(GdiGeometry, PackedPointsKeepTheirSignAndRectsMeasure) {
    CPoint p(MAKELPARAM(static_cast<WORD>(-5), static_cast<WORD>(-300)));
    EXPECT_EQ(p.x, -5);
    EXPECT_EQ(p.y, -300);
    CRect r(10, 20, 45, 55);
    EXPECT_EQ(r.Width(), 35);
    EXPECT_EQ(r.Height(), 35);
    EXPECT_TRUE(r.PtInRect(CPoint(10, 20)));
    EXPECT_FALSE(r.PtInRect(CPoint(45, 20)));
}
