// The splash dialog as a real window under Wine: layout of the caption buttons, dragging
// by the title band and the painted pixels (at 96, 144 and 192 DPI), title colours, the
// status blink, the close question, minimising, hover look of the caption buttons,
// missing controls, and the modal run.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cwchar>
#include <functional>
#include <memory>

#include "app/Globals.h"
#include "support/Registry.h"
#include "support/TestSupport.h"
#include "ui/EIPMfcAppDlg.h"
#include "ui/UiTestSupport.h"

namespace {

constexpr COLORREF kBand = RGB(58, 183, 167);
constexpr COLORREF kMinHover = RGB(129, 209, 199);
constexpr COLORREF kCloseHover = RGB(251, 60, 60);
constexpr COLORREF kWhite = RGB(255, 255, 255);

// The real dialog with a few observation points.
class TestSplash : public CEIPMfcAppDlg {
public:
    bool destroyStatus = false;
    bool destroyMinButton = false;
    int minDraws = 0;
    int closeDraws = 0;


protected:
    void DoDataExchange(CDataExchange* pDX) override {
        if (destroyStatus) ::DestroyWindow(::GetDlgItem(m_hWnd, IDC_STATIC_STATUS));
        if (destroyMinButton) ::DestroyWindow(::GetDlgItem(m_hWnd, IDC_BTN_MIN));
        CEIPMfcAppDlg::DoDataExchange(pDX);
    }
    afx_msg void OnDrawItem(int id, LPDRAWITEMSTRUCT dis) {
        if (id == IDC_BTN_MIN) ++minDraws;
        if (id == IDC_BTN_CLOSE) ++closeDraws;
        CEIPMfcAppDlg::OnDrawItem(id, dis);
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(TestSplash, CEIPMfcAppDlg)
    ON_WM_DRAWITEM()
END_MESSAGE_MAP()

LOGFONTW StatusFont(HWND dlg) {
    LOGFONTW lf{};
    HFONT font = reinterpret_cast<HFONT>(SendMessageW(GetDlgItem(dlg, IDC_STATIC_STATUS), WM_GETFONT, 0, 0));
    if (font) GetObjectW(font, sizeof lf, &lf);
    return lf;
}

std::wstring Text(HWND hWnd) {
    wchar_t buffer[256] = {};
    GetWindowTextW(hWnd, buffer, 256);
    return buffer;
}

RECT ChildRect(HWND dlg, int id) {
    RECT rc{};
    GetWindowRect(GetDlgItem(dlg, id), &rc);
    MapWindowPoints(nullptr, dlg, reinterpret_cast<POINT*>(&rc), 2);
    return rc;
}

// One visible splash dialog shared by the tests of this suite (showing a window under
// Wine without a window manager takes a while).
class SplashDialog : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        boxes = new RecordingMessageBoxes(IDCANCEL);
        dlg = new TestSplash;
        ASSERT_TRUE(dlg->Create(IDD_EIPMFCAPP_DIALOG));
        uitest::Pump(200);
    }
    static void TearDownTestSuite() {
        delete dlg;
        dlg = nullptr;
        delete boxes;
        boxes = nullptr;
    }
    void SetUp() override {
        ASSERT_NE(dlg, nullptr);
        hWnd = dlg->GetSafeHwnd();
        ASSERT_TRUE(IsWindow(hWnd));
        boxes->boxes.clear();
    }
    static TestSplash* dlg;
    static RecordingMessageBoxes* boxes;
    HWND hWnd = nullptr;
};
TestSplash* SplashDialog::dlg = nullptr;
RecordingMessageBoxes* SplashDialog::boxes = nullptr;

}  // namespace

TEST_F(SplashDialog, InitialisationSetsTitleIconsButtonsAndStatusFont) {
    EXPECT_EQ(Text(hWnd), L"Velmora");
    EXPECT_NE(dlg->m_hIcon, nullptr);
    EXPECT_EQ(reinterpret_cast<HICON>(SendMessageW(hWnd, WM_GETICON, ICON_BIG, 0)), dlg->m_hIcon);
    EXPECT_EQ(reinterpret_cast<HICON>(SendMessageW(hWnd, WM_GETICON, ICON_SMALL, 0)), dlg->m_hIcon);
    EXPECT_EQ(reinterpret_cast<HICON>(SendMessageW(hWnd, WM_QUERYDRAGICON, 0, 0)), dlg->m_hIcon);

    EXPECT_EQ(CWnd::FromHandlePermanent(GetDlgItem(hWnd, IDC_BTN_MIN)), &dlg->m_btnMin);
    EXPECT_EQ(CWnd::FromHandlePermanent(GetDlgItem(hWnd, IDC_BTN_CLOSE)), &dlg->m_btnClose);
    EXPECT_TRUE(dlg->m_btnMin.IsKindOf(RUNTIME_CLASS(COwerButton)));
    for (COwerButton* b : {&dlg->m_btnMin, &dlg->m_btnClose}) {
        EXPECT_EQ(b->GetFaceColor(), kBand);
        EXPECT_EQ(b->GetGlyphColor(), kWhite);
        EXPECT_EQ(b->GetFontHeight(), 18);
        EXPECT_EQ(b->GetHoverFontHeight(), 20);
        EXPECT_EQ(b->GetFontName(), L"SimHei");
    }
    EXPECT_EQ(dlg->m_btnMin.GetHoverColor(), kMinHover);
    EXPECT_EQ(dlg->m_btnClose.GetHoverColor(), kCloseHover);

    // The status font: 14 pt "楷体" for the screen, made by the dialog and given to the line.
    HDC screen = GetDC(nullptr);
    int dpiY = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    HFONT font = reinterpret_cast<HFONT>(SendMessageW(GetDlgItem(hWnd, IDC_STATIC_STATUS), WM_GETFONT, 0, 0));
    EXPECT_EQ(font, static_cast<HFONT>(dlg->m_fontStatus.m_hObject));
    LOGFONTW lf = StatusFont(hWnd);
    EXPECT_EQ(lf.lfHeight, -MulDiv(dpiY, 140, 720));
    EXPECT_STREQ(lf.lfFaceName, L"楷体");
    EXPECT_EQ(lf.lfCharSet, DEFAULT_CHARSET);

    // Frameless, with a taskbar button.
    DWORD style = static_cast<DWORD>(GetWindowLongW(hWnd, GWL_STYLE));
    EXPECT_EQ(style & (WS_CAPTION | WS_THICKFRAME), 0u);
    EXPECT_TRUE(GetWindowLongW(hWnd, GWL_EXSTYLE) & WS_EX_APPWINDOW);
    // The continue link starts hidden and disabled.
    HWND cont = GetDlgItem(hWnd, IDC_LINK_CONTINUE);
    EXPECT_FALSE(IsWindowVisible(cont));
    EXPECT_FALSE(IsWindowEnabled(cont));
}

TEST_F(SplashDialog, TitleIsWhiteOnTheBandOtherControlsKeepSystemColours) {
    HDC dc = GetDC(hWnd);
    SetBkMode(dc, OPAQUE);
    SetTextColor(dc, RGB(1, 2, 3));
    LRESULT title = SendMessageW(hWnd, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                                 reinterpret_cast<LPARAM>(GetDlgItem(hWnd, IDC_STATIC_TITLE)));
    EXPECT_EQ(reinterpret_cast<HGDIOBJ>(title), GetStockObject(NULL_BRUSH));
    EXPECT_EQ(GetTextColor(dc), kWhite);
    EXPECT_EQ(GetBkMode(dc), TRANSPARENT);

    SetBkMode(dc, OPAQUE);
    SetTextColor(dc, RGB(1, 2, 3));
    LRESULT status = SendMessageW(hWnd, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                                  reinterpret_cast<LPARAM>(GetDlgItem(hWnd, IDC_STATIC_STATUS)));
    EXPECT_NE(status, 0);
    EXPECT_NE(reinterpret_cast<HGDIOBJ>(status), GetStockObject(NULL_BRUSH));
    EXPECT_NE(GetTextColor(dc), kWhite);
    ReleaseDC(hWnd, dc);
}

TEST_F(SplashDialog, StatusLineBlinksBoldAndRegularAndKeepsItsText) {
    HWND status = GetDlgItem(hWnd, IDC_STATIC_STATUS);
    dlg->SetStatusText(L"正在加载中.....");
    const std::wstring text = Text(status);
    // The timer runs by itself (800 ms); wait for a tick that makes the line bold.
    ASSERT_TRUE(uitest::PumpUntil([&] { return StatusFont(hWnd).lfWeight == FW_BOLD; }, 3000));
    EXPECT_EQ(Text(status), text);
    EXPECT_STREQ(StatusFont(hWnd).lfFaceName, L"楷体");

    KillTimer(hWnd, 9999);  // drive the ticks by hand from here on
    SendMessageW(hWnd, WM_TIMER, 9999, 0);
    EXPECT_EQ(StatusFont(hWnd).lfWeight, FW_NORMAL);
    SendMessageW(hWnd, WM_TIMER, 9999, 0);
    EXPECT_EQ(StatusFont(hWnd).lfWeight, FW_BOLD);
    SendMessageW(hWnd, WM_TIMER, 9999, 0);
    EXPECT_EQ(StatusFont(hWnd).lfWeight, FW_NORMAL);
    // Other timers leave the line alone.
    SendMessageW(hWnd, WM_TIMER, 1234, 0);
    EXPECT_EQ(StatusFont(hWnd).lfWeight, FW_NORMAL);
    EXPECT_EQ(Text(status), text);
    // The dialog holds exactly the font the line shows.
    EXPECT_EQ(reinterpret_cast<HFONT>(SendMessageW(status, WM_GETFONT, 0, 0)),
              static_cast<HFONT>(dlg->m_fontStatus.m_hObject));

    dlg->SetStatusText(L"新的状态");
    EXPECT_EQ(Text(status), L"新的状态");
    dlg->SetStatusText(L"正在加载中.....");
    SetTimer(hWnd, 9999, 800, nullptr);
}

TEST_F(SplashDialog, CancelledCloseQuestionLeavesTheDialogAsItWas) {
    boxes->Answer(IDCANCEL);
    SendMessageW(GetDlgItem(hWnd, IDC_BTN_CLOSE), BM_CLICK, 0, 0);
    ASSERT_EQ(boxes->boxes.size(), 1u);
    EXPECT_EQ(boxes->boxes[0].text, L"确定关闭软件吗？");
    EXPECT_EQ(boxes->boxes[0].title, L"退出软件提示");
    EXPECT_EQ(boxes->boxes[0].owner, nullptr);
    EXPECT_EQ(boxes->boxes[0].style & 0xF, static_cast<UINT>(MB_OKCANCEL));
    EXPECT_EQ(boxes->boxes[0].style & 0xF0, static_cast<UINT>(MB_ICONEXCLAMATION));
    uitest::Pump(100);
    EXPECT_TRUE(IsWindow(hWnd));
    EXPECT_TRUE(IsWindowVisible(hWnd));
    MSG msg;
    EXPECT_FALSE(PeekMessageW(&msg, hWnd, WM_CLOSE, WM_CLOSE, PM_NOREMOVE));
}

TEST_F(SplashDialog, MinimiseButtonMinimisesAndRestoreBringsItBack) {
    SendMessageW(GetDlgItem(hWnd, IDC_BTN_MIN), BM_CLICK, 0, 0);
    EXPECT_TRUE(IsIconic(hWnd));
    EXPECT_TRUE(boxes->boxes.empty());
    ShowWindow(hWnd, SW_RESTORE);
    uitest::Pump(100);
    EXPECT_FALSE(IsIconic(hWnd));
    RECT rc;
    GetWindowRect(hWnd, &rc);
    EXPECT_GT(rc.right - rc.left, 100);
}

TEST_F(SplashDialog, HoverLookFollowsTheRealPointer) {
    // Wine only reports leaving when the real pointer moves, so the test moves it.
    SetForegroundWindow(hWnd);
    RECT rcMin;
    GetWindowRect(GetDlgItem(hWnd, IDC_BTN_MIN), &rcMin);
    RECT rcDlg;
    GetWindowRect(hWnd, &rcDlg);
    SetCursorPos(rcDlg.left + 20, rcDlg.top + 60);  // start on the body
    uitest::Pump(100);
    ASSERT_FALSE(dlg->m_btnMin.IsHovering());

    int drawsBefore = dlg->minDraws;
    SetCursorPos(rcMin.left + 10, rcMin.top + 10);
    ASSERT_TRUE(uitest::PumpUntil([&] { return dlg->m_btnMin.IsHovering() != FALSE; }));
    uitest::Pump(100);
    EXPECT_TRUE(dlg->m_btnMin.IsTracking());
    // The button redraws for its hover look (the standard button may add one of its own
    // for its hot state).
    EXPECT_GE(dlg->minDraws, drawsBefore + 1);
    const int drawsHovered = dlg->minDraws;
    uitest::Capture hovered = uitest::CaptureClient(hWnd);
    RECT rcMinClient = ChildRect(hWnd, IDC_BTN_MIN);
    EXPECT_EQ(hovered.At(rcMinClient.left + 1, 1), kMinHover);

    // Further moves inside: no redraw.
    SetCursorPos(rcMin.left + 20, rcMin.top + 20);
    uitest::Pump(150);
    SetCursorPos(rcMin.left + 12, rcMin.top + 25);
    uitest::Pump(150);
    EXPECT_EQ(dlg->minDraws, drawsHovered);
    EXPECT_TRUE(dlg->m_btnMin.IsHovering());

    // Leaving restores the normal look at once.
    SetCursorPos(rcDlg.left + 20, rcDlg.top + 60);
    ASSERT_TRUE(uitest::PumpUntil([&] { return dlg->m_btnMin.IsHovering() == FALSE; }));
    uitest::Pump(100);
    EXPECT_FALSE(dlg->m_btnMin.IsTracking());
    EXPECT_EQ(dlg->minDraws, drawsHovered + 1);
    uitest::Capture normal = uitest::CaptureClient(hWnd);
    EXPECT_EQ(normal.At(rcMinClient.left + 1, 1), kBand);
}

// Band, caption buttons (place, size, glyph heights), the rows that drag and the painted
// pixels, with the pixel measures of 96 DPI scaled to the resolution the process runs at:
// 96 DPI unless the test that started it asks for another.
TEST_F(SplashDialog, BandCaptionButtonsAndDragRowsAtTheWindowsResolution) {
    wchar_t asked[16] = {};
    const bool asksForOne = GetEnvironmentVariableW(L"VELMORA_EXPECTED_DPI", asked, 16) != 0;
    const UINT dpi = asksForOne ? std::wcstoul(asked, nullptr, 10) : 96;
    HDC screen = GetDC(nullptr);
    ASSERT_EQ(static_cast<int>(dpi), GetDeviceCaps(screen, LOGPIXELSY)) << "the process runs at another resolution";
    ReleaseDC(nullptr, screen);
    auto scaled = [dpi](int pixels) { return MulDiv(pixels, static_cast<int>(dpi), 96); };
    const int band = scaled(40), size = scaled(35), minLeft = -2 * size - scaled(3);

    RedrawWindow(hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    uitest::Pump(100);
    uitest::Capture cap = uitest::CaptureClient(hWnd);
    if (const char* out = std::getenv("VELMORA_SPLASH_BMP")) {
        std::string path(out);
        uitest::WriteBmp(std::wstring(path.begin(), path.end()), cap);
    }
    RECT rc;
    GetWindowRect(hWnd, &rc);
    const int W = rc.right - rc.left;
    // The template's 261 dialog units make the width, at any resolution.
    RECT units{0, 0, 261, 94};
    MapDialogRect(hWnd, &units);
    ASSERT_EQ(W, units.right);
    ASSERT_EQ(W, cap.width);

    // Buttons flush right at y = 0, the gap between them, and their glyphs.
    const RECT rcMin = ChildRect(hWnd, IDC_BTN_MIN), rcClose = ChildRect(hWnd, IDC_BTN_CLOSE);
    EXPECT_EQ(W + minLeft, rcMin.left);
    EXPECT_EQ(W + minLeft + size, rcMin.right);
    EXPECT_EQ(W - size, rcClose.left);
    EXPECT_EQ(W, rcClose.right);
    for (const RECT& r : {rcMin, rcClose}) {
        EXPECT_EQ(0, r.top);
        EXPECT_EQ(size, r.bottom);
    }
    for (COwerButton* b : {&dlg->m_btnMin, &dlg->m_btnClose}) {
        EXPECT_EQ(scaled(18), b->GetFontHeight());
        EXPECT_EQ(scaled(20), b->GetHoverFontHeight());
    }

    // Rows 1 to band - 1 drag, across the whole width; row 0 and the body do not.
    for (int x : {0, W / 2, W - 1}) {
        auto hit = [&](int row) {
            return SendMessageW(hWnd, WM_NCHITTEST, 0, MAKELPARAM(rc.left + x, rc.top + row));
        };
        SCOPED_TRACE(x);
        EXPECT_EQ(HTCLIENT, hit(0));
        EXPECT_EQ(HTCAPTION, hit(1));
        EXPECT_EQ(HTCAPTION, hit(band - 1));
        EXPECT_EQ(HTCLIENT, hit(band));
    }

    // Painted: the band between the title and the buttons, and below the buttons down to
    // its last row; the dialog face from the next row on.
    const RECT rcTitle = ChildRect(hWnd, IDC_STATIC_TITLE);
    for (int y = 0; y < band; ++y)
        for (int x = rcTitle.right + 2; x < W + minLeft - 2; x += 7) ASSERT_EQ(kBand, cap.At(x, y)) << x << "," << y;
    for (int y = size; y < band; ++y) EXPECT_EQ(kBand, cap.At(W - size / 2, y)) << y;
    const COLORREF face = GetSysColor(COLOR_3DFACE);
    for (int x = 0; x < W; x += 9) EXPECT_EQ(face, cap.At(x, band)) << x;

    // Buttons: each square is its face up to its edges, nothing of a standard button's
    // frame, with the glyph inside; the gap between them is band. (Wine's CJK font draws
    // U+2715 as a box and U+FF0D without ink, so only the close glyph is sure to leave white
    // pixels; larger glyphs are smoothed at their edges.)
    auto count = [&](int x0, int x1, COLORREF c) {
        int n = 0;
        for (int y = 0; y < size; ++y)
            for (int x = x0; x <= x1; ++x) n += cap.At(x, y) == c;
        return n;
    };
    for (int x0 : {W + minLeft, W - size}) {
        SCOPED_TRACE(x0);
        for (int i = 0; i < size; ++i) {
            for (POINT p : {POINT{x0 + i, 0}, POINT{x0 + i, size - 1}, POINT{x0, i}, POINT{x0 + size - 1, i}}) {
                ASSERT_EQ(kBand, cap.At(p.x, p.y)) << p.x << "," << p.y;
            }
        }
    }
    EXPECT_GT(count(W - size, W - 1, kWhite), 0);
    EXPECT_EQ((rcClose.left - rcMin.right) * size, count(rcMin.right, rcClose.left - 1, kBand));
    // The title is drawn in white straight onto the band.
    EXPECT_GT(count(rcTitle.left, rcTitle.right - 1, kWhite), 0);
}

// The same at 150 % and 200 %. Wine takes the resolution from LogPixels when a process
// starts, so the test runs again in a process of its own while the value says so; the
// prefix has its own value back afterwards.
TEST(SplashDialogResolution, BandCaptionButtonsAndDragRowsScaleAt144And192Dpi) {
    TempDir dir(L"dpi");
    wchar_t self[MAX_PATH] = {};
    ASSERT_NE(0u, GetModuleFileNameW(nullptr, self, MAX_PATH));
    for (DWORD dpi : {144u, 192u}) {
        SCOPED_TRACE(dpi);
        const std::wstring screenshot = dir.file(L"splash-" + std::to_wstring(dpi) + L".bmp");
        {
            ScopedRegistryValue logPixels =
                ScopedRegistryValue::Dword(HKEY_CURRENT_USER, L"Control Panel\\Desktop", L"LogPixels", dpi);
            ASSERT_TRUE(logPixels.ok());
            SetEnvironmentVariableW(L"VELMORA_EXPECTED_DPI", std::to_wstring(dpi).c_str());
            SetEnvironmentVariableW(L"VELMORA_SPLASH_BMP", screenshot.c_str());
            const wchar_t* test = L"SplashDialog.BandCaptionButtonsAndDragRowsAtTheWindowsResolution";
            EXPECT_EQ(0, RunAndWait(L"\"" + std::wstring(self) + L"\" --gtest_color=no --gtest_filter=" + test, 120000));
            SetEnvironmentVariableW(L"VELMORA_EXPECTED_DPI", nullptr);
            SetEnvironmentVariableW(L"VELMORA_SPLASH_BMP", nullptr);
        }
        // The child ran the checks (a filter that matched nothing would also end with 0).
        EXPECT_TRUE(Exists(screenshot));
    }
}

TEST(SplashDialogControls, FirstBlinkAfterInitialisationMakesTheLineBold) {
    RecordingMessageBoxes boxes(IDCANCEL);
    TestSplash dlg;
    ASSERT_TRUE(dlg.Create(IDD_EIPMFCAPP_DIALOG));
    HWND hWnd = dlg.GetSafeHwnd();
    KillTimer(hWnd, 9999);  // no tick of its own before the ones sent here
    EXPECT_EQ(StatusFont(hWnd).lfWeight, 0);  // as made by the initialisation
    SendMessageW(hWnd, WM_TIMER, 9999, 0);
    EXPECT_EQ(StatusFont(hWnd).lfWeight, FW_BOLD);
    SendMessageW(hWnd, WM_TIMER, 9999, 0);
    EXPECT_EQ(StatusFont(hWnd).lfWeight, FW_NORMAL);
}

// Per-monitor awareness: a move to a monitor of another resolution (Wine sends no
// WM_DPICHANGED of its own, so the test does).
TEST(SplashDialogControls, AChangeOfResolutionTakesTheSuggestedPlaceAndRescalesTheWindowsOwnMeasures) {
    RecordingMessageBoxes boxes(IDCANCEL);
    TestSplash dlg;
    ASSERT_TRUE(dlg.Create(IDD_EIPMFCAPP_DIALOG));
    HWND hWnd = dlg.GetSafeHwnd();
    KillTimer(hWnd, 9999);
    SendMessageW(hWnd, WM_TIMER, 9999, 0);  // bold now
    RECT rc;
    GetWindowRect(hWnd, &rc);
    const int W = 2 * (rc.right - rc.left);
    RECT suggested{rc.left + 10, rc.top + 20, rc.left + 10 + W, rc.top + 20 + 2 * (rc.bottom - rc.top)};
    EXPECT_EQ(0, SendMessageW(hWnd, WM_DPICHANGED, MAKEWPARAM(192, 192), reinterpret_cast<LPARAM>(&suggested)));

    GetWindowRect(hWnd, &rc);
    EXPECT_TRUE(EqualRect(&rc, &suggested));
    EXPECT_EQ(W - 146, ChildRect(hWnd, IDC_BTN_MIN).left);
    EXPECT_EQ(W - 70, ChildRect(hWnd, IDC_BTN_CLOSE).left);
    EXPECT_EQ(70, ChildRect(hWnd, IDC_BTN_CLOSE).bottom);
    EXPECT_EQ(36, dlg.m_btnClose.GetFontHeight());
    EXPECT_EQ(40, dlg.m_btnMin.GetHoverFontHeight());
    EXPECT_EQ(HTCAPTION, SendMessageW(hWnd, WM_NCHITTEST, 0, MAKELPARAM(rc.left + 5, rc.top + 79)));
    EXPECT_EQ(HTCLIENT, SendMessageW(hWnd, WM_NCHITTEST, 0, MAKELPARAM(rc.left + 5, rc.top + 80)));
    const LOGFONTW lf = StatusFont(hWnd);
    EXPECT_EQ(-MulDiv(192, 140, 720), lf.lfHeight);
    EXPECT_EQ(FW_BOLD, lf.lfWeight);
    EXPECT_STREQ(L"楷体", lf.lfFaceName);
}

TEST(SplashDialogControls, MissingStatusLineSkipsFontTimerAndText) {
    RecordingMessageBoxes boxes(IDCANCEL);
    TestSplash dlg;
    dlg.destroyStatus = true;
    ASSERT_TRUE(dlg.Create(IDD_EIPMFCAPP_DIALOG));
    HWND hWnd = dlg.GetSafeHwnd();
    EXPECT_EQ(GetDlgItem(hWnd, IDC_STATIC_STATUS), nullptr);
    EXPECT_EQ(dlg.m_fontStatus.m_hObject, nullptr);
    EXPECT_FALSE(KillTimer(hWnd, 9999));  // no timer was started
    dlg.SetStatusText(L"nothing to show it");
    SendMessageW(hWnd, WM_TIMER, 9999, 0);
    EXPECT_EQ(dlg.m_fontStatus.m_hObject, nullptr);
    // The buttons are still placed.
    RECT rc;
    GetWindowRect(hWnd, &rc);
    EXPECT_EQ(ChildRect(hWnd, IDC_BTN_CLOSE).left, rc.right - rc.left - 35);
}

TEST(SplashDialogControls, MissingCaptionButtonLeavesTheOtherWhereTheTemplatePutsIt) {
    RecordingMessageBoxes boxes(IDCANCEL);
    TestSplash dlg;
    dlg.destroyMinButton = true;
    ASSERT_TRUE(dlg.Create(IDD_EIPMFCAPP_DIALOG));
    HWND hWnd = dlg.GetSafeHwnd();
    EXPECT_EQ(dlg.m_btnMin.GetSafeHwnd(), nullptr);
    RECT expected{243, 0, 243 + 16, 14};
    MapDialogRect(hWnd, &expected);
    RECT rcClose = ChildRect(hWnd, IDC_BTN_CLOSE);
    EXPECT_EQ(rcClose.left, expected.left);
    EXPECT_EQ(rcClose.right, expected.right);
    EXPECT_EQ(rcClose.bottom, expected.bottom);
}

namespace {
std::function<void()> g_action;
void CALLBACK RunAction(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    if (g_action) g_action();
}
void CALLBACK Watchdog(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    ADD_FAILURE() << "modal loop still running; ending it";
    PostQuitMessage(99);
}
// Runs the real dialog modally; `action` runs once, 300 ms into the loop.
INT_PTR RunModal(CEIPMfcAppDlg& dlg, std::function<void(HWND)> action) {
    g_action = [&dlg, action] { action(uitest::FindThreadDialog(L"Velmora")); };
    UINT_PTR t = SetTimer(nullptr, 0, 300, &RunAction);
    UINT_PTR w = SetTimer(nullptr, 0, 10000, &Watchdog);
    INT_PTR result = dlg.DoModal();
    KillTimer(nullptr, t);
    KillTimer(nullptr, w);
    MSG msg;
    PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
    return result;
}
}  // namespace

TEST(SplashDialogModal, ConfirmedCloseQuestionEndsTheModalRunWithCancel) {
    RecordingMessageBoxes boxes(IDCANCEL);
    CEIPMfcAppDlg dlg;
    bool visible = false;
    HWND seen = nullptr;
    INT_PTR result = RunModal(dlg, [&](HWND hWnd) {
        seen = hWnd;
        visible = hWnd && IsWindowVisible(hWnd);
        boxes.boxes.clear();
        boxes.Answer(IDOK);
        SendMessageW(GetDlgItem(hWnd, IDC_BTN_CLOSE), BM_CLICK, 0, 0);
    });
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_TRUE(visible);  // the start sequence stopped: the dialog shows itself
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].text, L"确定关闭软件吗？");
    EXPECT_FALSE(IsWindow(seen));
}

TEST(SplashDialogModal, EscapeEndsItWithoutTheQuestion) {
    RecordingMessageBoxes boxes(IDCANCEL);
    CEIPMfcAppDlg dlg;
    size_t boxesBefore = 0;
    INT_PTR result = RunModal(dlg, [&](HWND hWnd) {
        boxesBefore = boxes.boxes.size();
        PostMessageW(GetDlgItem(hWnd, IDC_BTN_CLOSE), WM_KEYDOWN, VK_ESCAPE, 0);
    });
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_EQ(boxes.boxes.size(), boxesBefore);
}
