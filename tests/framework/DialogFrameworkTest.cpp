// The window half of the framework with real windows: message-map dispatch, binding of
// handles to objects, owner-draw reflection, the modal loop's life cycle, data exchange
// and the link-button control with its initialisation data.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "BuildSettings.h"
#include "framework/Dialog.h"
#include "framework/DlgInit.h"
#include "framework/LinkCtrl.h"
#include "framework/WinApp.h"
#include "support/TestSupport.h"
#include "ui/UiTestSupport.h"
#include "ui/resource.h"

namespace {

// A plain window to bind objects to.
HWND MakeWindow(const wchar_t* cls, DWORD style, HWND parent = nullptr, int id = 0, const wchar_t* text = L"") {
    return CreateWindowExW(0, cls, text, style, 0, 0, 100, 50, parent,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
}

class Probe : public CWnd {
public:
    std::vector<std::wstring> calls;
    UINT lastCtlColor = 0;
    HWND lastCtlWnd = nullptr;
    HBRUSH brush = reinterpret_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));

protected:
    afx_msg void OnTimer(UINT_PTR id) { calls.push_back(L"timer " + std::to_wstring(id)); }
    afx_msg HBRUSH OnCtlColor(CDC*, CWnd* wnd, UINT type) {
        lastCtlColor = type;
        lastCtlWnd = wnd ? wnd->GetSafeHwnd() : nullptr;
        return brush;
    }
    afx_msg void OnClicked() { calls.push_back(L"clicked"); }
    afx_msg void OnLinkClick(NMHDR* hdr, LRESULT* result) {
        calls.push_back(L"notify " + std::to_wstring(hdr->idFrom));
        *result = 77;
    }
    afx_msg void OnSize(UINT type, int cx, int cy) {
        calls.push_back(L"size " + std::to_wstring(type) + L" " + std::to_wstring(cx) + L" " + std::to_wstring(cy));
        Default();
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(Probe, CWnd)
    ON_WM_TIMER()
    ON_WM_CTLCOLOR()
    ON_BN_CLICKED(42, &Probe::OnClicked)
    ON_NOTIFY(NM_CLICK, 43, &Probe::OnLinkClick)
    ON_WM_SIZE()
END_MESSAGE_MAP()

class DerivedProbe : public Probe {
protected:
    afx_msg void OnTimer(UINT_PTR id) { calls.push_back(L"derived timer " + std::to_wstring(id)); }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(DerivedProbe, Probe)
    ON_WM_TIMER()
END_MESSAGE_MAP()

class CountingButton : public CButton {
public:
    int draws = 0;
    UINT lastState = 0;
    void DrawItem(LPDRAWITEMSTRUCT dis) override {
        ++draws;
        lastState = dis->itemState;
    }
};

// A dialog on the splash template whose steps a test can hook.
class TestDialog : public CDialogEx {
public:
    TestDialog() : CDialogEx(IDD_EIPMFCAPP_DIALOG) {}
    std::function<void(TestDialog&)> onInit;
    std::function<void(CDataExchange*)> onExchange;
    int shownCount = 0;
    using CDialogEx::EndDialog;

protected:
    BOOL OnInitDialog() override {
        CDialogEx::OnInitDialog();
        if (onInit) onInit(*this);
        return TRUE;
    }
    void DoDataExchange(CDataExchange* pDX) override {
        CDialogEx::DoDataExchange(pDX);
        if (onExchange) onExchange(pDX);
    }
    afx_msg void OnShowWindow(BOOL show, UINT status) {
        if (show) ++shownCount;
        CDialogEx::OnShowWindow(show, status);
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(TestDialog, CDialogEx)
    ON_WM_SHOWWINDOW()
END_MESSAGE_MAP()

// Runs `action` once from a thread timer while a modal loop runs.
std::function<void()> g_timerAction;
void CALLBACK RunTimerAction(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    if (g_timerAction) g_timerAction();
}
// Ends whatever modal loop still runs after a few seconds, so that a test that fails
// cannot hang.
void CALLBACK Watchdog(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    ADD_FAILURE() << "modal loop still running; closing it";
    PostQuitMessage(99);
}
UINT_PTR g_watchdog = 0;
void AfterDelay(DWORD ms, std::function<void()> action) {
    g_timerAction = std::move(action);
    SetTimer(nullptr, 0, ms, &RunTimerAction);
    if (g_watchdog) KillTimer(nullptr, g_watchdog);
    g_watchdog = SetTimer(nullptr, 0, 8000, &Watchdog);
}

// Takes a pending quit message off the queue; returns its code or -1.
int TakeQuit() {
    MSG msg;
    if (PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) return static_cast<int>(msg.wParam);
    return -1;
}

}  // namespace

TEST(MessageMap, WindowMessagesCommandsAndNotificationsReachTheirHandlers) {
    HWND hWnd = MakeWindow(L"STATIC", WS_POPUP, nullptr, 0, L"probe text");
    ASSERT_NE(hWnd, nullptr);
    HWND child = MakeWindow(L"STATIC", WS_CHILD, hWnd, 5);
    Probe probe;
    ASSERT_TRUE(probe.SubclassWindow(hWnd));

    SendMessageW(hWnd, WM_TIMER, 9, 0);
    SendMessageW(hWnd, WM_COMMAND, MAKEWPARAM(42, BN_CLICKED), 0);
    SendMessageW(hWnd, WM_COMMAND, MAKEWPARAM(42, BN_SETFOCUS), 0);  // other code: not mapped
    SendMessageW(hWnd, WM_COMMAND, MAKEWPARAM(41, BN_CLICKED), 0);   // other id: not mapped
    NMHDR hdr{child, 43, static_cast<UINT>(NM_CLICK)};
    EXPECT_EQ(SendMessageW(hWnd, WM_NOTIFY, 43, reinterpret_cast<LPARAM>(&hdr)), 77);
    hdr.idFrom = 44;
    EXPECT_EQ(SendMessageW(hWnd, WM_NOTIFY, 44, reinterpret_cast<LPARAM>(&hdr)), 0);
    SetWindowPos(hWnd, nullptr, 0, 0, 120, 60, SWP_NOZORDER | SWP_NOMOVE | SWP_NOACTIVATE);

    ASSERT_EQ(probe.calls.size(), 4u);
    EXPECT_EQ(probe.calls[0], L"timer 9");
    EXPECT_EQ(probe.calls[1], L"clicked");
    EXPECT_EQ(probe.calls[2], L"notify 43");
    EXPECT_EQ(probe.calls[3], L"size 0 120 60");

    // Every WM_CTLCOLORxxx reaches the one entry with its type and the control's object.
    HDC dc = GetDC(hWnd);
    EXPECT_EQ(SendMessageW(hWnd, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(child)),
              reinterpret_cast<LRESULT>(probe.brush));
    EXPECT_EQ(probe.lastCtlColor, static_cast<UINT>(CTLCOLOR_STATIC));
    EXPECT_EQ(probe.lastCtlWnd, child);
    SendMessageW(hWnd, WM_CTLCOLORBTN, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(child));
    EXPECT_EQ(probe.lastCtlColor, static_cast<UINT>(CTLCOLOR_BTN));
    ReleaseDC(hWnd, dc);

    // Unmapped messages get the window's own processing.
    wchar_t text[32] = {};
    SendMessageW(hWnd, WM_GETTEXT, 32, reinterpret_cast<LPARAM>(text));
    EXPECT_STREQ(text, L"probe text");
    DestroyWindow(hWnd);
}

TEST(MessageMap, DerivedEntryWinsOverTheBaseEntry) {
    HWND hWnd = MakeWindow(L"STATIC", WS_POPUP);
    DerivedProbe probe;
    ASSERT_TRUE(probe.SubclassWindow(hWnd));
    SendMessageW(hWnd, WM_TIMER, 3, 0);
    SendMessageW(hWnd, WM_COMMAND, MAKEWPARAM(42, BN_CLICKED), 0);  // still from the base map
    ASSERT_EQ(probe.calls.size(), 2u);
    EXPECT_EQ(probe.calls[0], L"derived timer 3");
    EXPECT_EQ(probe.calls[1], L"clicked");
    DestroyWindow(hWnd);
}

TEST(WindowBinding, PermanentAndTemporaryObjectsAndUnbindingOnDestroy) {
    HWND hWnd = MakeWindow(L"STATIC", WS_POPUP);
    HWND other = MakeWindow(L"STATIC", WS_POPUP);
    Probe probe;
    ASSERT_TRUE(probe.SubclassWindow(hWnd));
    EXPECT_EQ(CWnd::FromHandle(hWnd), &probe);
    EXPECT_EQ(CWnd::FromHandlePermanent(hWnd), &probe);

    // A second object cannot take the same window.
    Probe second;
    EXPECT_FALSE(second.SubclassWindow(hWnd));

    CWnd* temp = CWnd::FromHandle(other);
    ASSERT_NE(temp, nullptr);
    EXPECT_EQ(temp->GetSafeHwnd(), other);
    EXPECT_EQ(CWnd::FromHandle(other), temp);
    EXPECT_EQ(CWnd::FromHandlePermanent(other), nullptr);
    EXPECT_EQ(CWnd::FromHandle(nullptr), nullptr);
    CWnd::DeleteTempMap();
    EXPECT_TRUE(IsWindow(other));  // the wrapper never owned the window

    DestroyWindow(hWnd);
    EXPECT_EQ(probe.GetSafeHwnd(), nullptr);
    EXPECT_EQ(CWnd::FromHandlePermanent(hWnd), nullptr);
    DestroyWindow(other);
}

TEST(WindowBinding, ObjectDestroyedFirstTakesItsWindowWithIt) {
    HWND hWnd = MakeWindow(L"STATIC", WS_POPUP);
    {
        Probe probe;
        ASSERT_TRUE(probe.SubclassWindow(hWnd));
    }
    EXPECT_FALSE(IsWindow(hWnd));
    EXPECT_EQ(CWnd::FromHandlePermanent(hWnd), nullptr);
}

TEST(WindowBinding, MainWindowPointerClearedWhenItsObjectGoes) {
    CWinApp app;
    {
        TestDialog dlg;
        app.m_pMainWnd = &dlg;
    }
    EXPECT_EQ(app.m_pMainWnd, nullptr);
}

TEST(OwnerDraw, ParentReflectsDrawItemToTheButtonObject) {
    HWND parent = MakeWindow(L"STATIC", WS_POPUP);
    HWND button = MakeWindow(L"BUTTON", WS_CHILD | WS_VISIBLE | BS_OWNERDRAW, parent, 7);
    Probe parentObj;
    CountingButton buttonObj;
    ASSERT_TRUE(parentObj.SubclassWindow(parent));
    ASSERT_TRUE(buttonObj.SubclassWindow(button));

    DRAWITEMSTRUCT dis{};
    dis.CtlType = ODT_BUTTON;
    dis.CtlID = 7;
    dis.hwndItem = button;
    dis.itemState = ODS_SELECTED;
    EXPECT_EQ(SendMessageW(parent, WM_DRAWITEM, 7, reinterpret_cast<LPARAM>(&dis)), TRUE);
    EXPECT_EQ(buttonObj.draws, 1);
    EXPECT_EQ(buttonObj.lastState, static_cast<UINT>(ODS_SELECTED));

    // The real paint path: the button asks its parent, the parent reflects.
    ShowWindow(parent, SW_SHOWNA);
    InvalidateRect(button, nullptr, TRUE);
    UpdateWindow(button);
    EXPECT_GE(buttonObj.draws, 2);
    DestroyWindow(parent);
}

TEST(ModalDialog, QuitTakenByTheLoopEndsItUnseenAndIsPostedAgain) {
    CWinApp app;
    TestDialog dlg;
    HWND seen = nullptr;
    dlg.onInit = [&](TestDialog& d) {
        seen = d.GetSafeHwnd();
        EXPECT_FALSE(IsWindowVisible(seen));  // created hidden
        PostMessageW(seen, WM_QUIT, 7, 0);
    };
    EXPECT_EQ(dlg.DoModal(), -1);
    EXPECT_NE(seen, nullptr);
    EXPECT_EQ(dlg.shownCount, 0);
    EXPECT_FALSE(IsWindow(seen));
    EXPECT_EQ(dlg.GetSafeHwnd(), nullptr);
    EXPECT_EQ(app.m_nQuitCode, 7);
    EXPECT_EQ(TakeQuit(), 7);
}

TEST(ModalDialog, HiddenDialogIsShownCentredWhenIdleAndWmCloseCancels) {
    TestDialog dlg;
    dlg.onInit = [](TestDialog& d) { d.ShowWindow(SW_HIDE); };
    bool visible = false;
    RECT rc{};
    AfterDelay(100, [&] {
        visible = IsWindowVisible(dlg.GetSafeHwnd()) != FALSE;
        GetWindowRect(dlg.GetSafeHwnd(), &rc);
        PostMessageW(dlg.GetSafeHwnd(), WM_CLOSE, 0, 0);
    });
    EXPECT_EQ(dlg.DoModal(), IDCANCEL);
    EXPECT_TRUE(visible);
    EXPECT_EQ(dlg.shownCount, 1);

    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    int width = rc.right - rc.left, height = rc.bottom - rc.top;
    EXPECT_GT(width, 0);
    EXPECT_NEAR(rc.left, work.left + (work.right - work.left - width) / 2, 1);
    EXPECT_NEAR(rc.top, work.top + (work.bottom - work.top - height) / 2, 1);
    EXPECT_EQ(TakeQuit(), -1);
}

TEST(ModalDialog, EscapeCancelsAndEnterConfirms) {
    {
        TestDialog dlg;
        AfterDelay(100, [&] {
            HWND focus = GetFocus();
            EXPECT_EQ(focus, GetDlgItem(dlg.GetSafeHwnd(), IDC_BTN_CLOSE));  // first tab stop
            PostMessageW(focus, WM_KEYDOWN, VK_ESCAPE, 0);
        });
        EXPECT_EQ(dlg.DoModal(), IDCANCEL);
        EXPECT_EQ(TakeQuit(), -1);
    }
    {
        TestDialog dlg;
        AfterDelay(100, [&] {
            // The focused owner-drawn button does not take Enter itself (the links do).
            PostMessageW(GetDlgItem(dlg.GetSafeHwnd(), IDC_BTN_CLOSE), WM_KEYDOWN, VK_RETURN, 0);
        });
        EXPECT_EQ(dlg.DoModal(), IDOK);
        EXPECT_EQ(TakeQuit(), -1);
    }
}

TEST(ModalDialog, EndDialogDuringInitialisationSkipsTheLoop) {
    TestDialog dlg;
    dlg.onInit = [](TestDialog& d) { d.EndDialog(IDOK); };
    EXPECT_EQ(dlg.DoModal(), IDOK);
    EXPECT_EQ(dlg.shownCount, 0);
    EXPECT_EQ(dlg.GetSafeHwnd(), nullptr);
}

TEST(DataExchange, BindsPresentControlsAndSkipsMissingOnes) {
    TestDialog dlg;
    CountingButton close;
    CButton missing;
    dlg.onExchange = [&](CDataExchange* pDX) {
        DDX_Control(pDX, IDC_BTN_CLOSE, close);
        DDX_Control(pDX, 4321, missing);
    };
    ASSERT_TRUE(dlg.Create(IDD_EIPMFCAPP_DIALOG));
    EXPECT_EQ(close.GetSafeHwnd(), GetDlgItem(dlg.GetSafeHwnd(), IDC_BTN_CLOSE));
    EXPECT_EQ(CWnd::FromHandlePermanent(close.GetSafeHwnd()), &close);
    EXPECT_EQ(missing.GetSafeHwnd(), nullptr);
    EXPECT_TRUE(close.IsKindOf(RUNTIME_CLASS(CButton)));
    // The bound button is drawn through its object.
    uitest::Pump(100);
    EXPECT_GE(close.draws, 1);
    dlg.DestroyWindow();
    EXPECT_EQ(close.GetSafeHwnd(), nullptr);
}

TEST(LinkControl, TakesItsPropertiesFromTheDialogsInitialisationData) {
    RecordingWebPages pages;
    TestDialog dlg;
    ASSERT_TRUE(dlg.Create(IDD_EIPMFCAPP_DIALOG));
    HWND linkWnd = GetDlgItem(dlg.GetSafeHwnd(), IDC_MFCLINK_WEBSITE);
    ASSERT_NE(linkWnd, nullptr);
    CWnd* obj = CWnd::FromHandlePermanent(linkWnd);
    ASSERT_NE(obj, nullptr);
    ASSERT_TRUE(obj->IsKindOf(RUNTIME_CLASS(CMFCLinkCtrl)));
    auto* link = static_cast<CMFCLinkCtrl*>(obj);
    EXPECT_EQ(link->GetURL(), VELMORA_SITE_HOST_W);
    EXPECT_EQ(link->GetURLPrefix(), L"http://");
    EXPECT_EQ(link->GetTooltip(), L"点击进入Velmora软件官网");
    EXPECT_FALSE(link->IsFullTextTooltip());
    EXPECT_EQ(link->GetTooltipText(), L"点击进入Velmora软件官网");

    // Press and release inside opens the site; a release outside opens nothing.
    SendMessageW(linkWnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
    SendMessageW(linkWnd, WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
    SendMessageW(linkWnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
    SendMessageW(linkWnd, WM_LBUTTONUP, 0, MAKELPARAM(static_cast<WORD>(-5), static_cast<WORD>(-5)));
    ASSERT_EQ(pages.pages.size(), 1u);
    EXPECT_EQ(pages.pages[0], std::wstring(L"http://") + VELMORA_SITE_HOST_W);

    // The control's object goes with its window.
    dlg.DestroyWindow();
    EXPECT_EQ(CWnd::FromHandlePermanent(linkWnd), nullptr);
}

TEST(LinkControl, AddressWithSchemeFullTextTooltipAndNoAddress) {
    ASSERT_TRUE(AfxRegisterLinkControlClass());
    RecordingWebPages pages;
    HWND linkWnd = MakeWindow(AFX_LINKCTRL_CLASSNAME, WS_POPUP, nullptr, 0, L"site");
    ASSERT_NE(linkWnd, nullptr);
    auto* link = static_cast<CMFCLinkCtrl*>(CWnd::FromHandlePermanent(linkWnd));
    ASSERT_NE(link, nullptr);

    EXPECT_FALSE(link->OpenLink());  // nothing set: nothing opened
    EXPECT_TRUE(pages.pages.empty());

    std::wstring init = L"<MfcLinkUrl>https://x.example/a</MfcLinkUrl><MfcLinkUrlPrefix>http://</MfcLinkUrlPrefix>"
                        L"<MfcLinkTooltip>tip</MfcLinkTooltip><MfcLinkFullTextTooltip>TRUE</MfcLinkFullTextTooltip>";
    SendMessageW(linkWnd, WM_AFX_INITCTRL, 0, reinterpret_cast<LPARAM>(init.c_str()));
    EXPECT_EQ(link->GetFullAddress(), L"https://x.example/a");
    EXPECT_EQ(link->GetTooltipText(), L"https://x.example/a");
    SendMessageW(linkWnd, WM_KEYUP, VK_SPACE, 0);
    ASSERT_EQ(pages.pages.size(), 1u);
    EXPECT_EQ(pages.pages[0], L"https://x.example/a");
    DestroyWindow(linkWnd);
}
