#include "framework/Wnd.h"

#include <memory>
#include <unordered_map>

#include "framework/Presenters.h"
#include "framework/WinApp.h"

namespace {
// Identifies the framework's subclass on a window (one per window).
constexpr UINT_PTR kSubclassId = 0x56454C4D;

std::unordered_map<HWND, CWnd*>& PermanentMap() {
    static std::unordered_map<HWND, CWnd*> map;
    return map;
}

std::unordered_map<HWND, std::unique_ptr<CWnd>>& TemporaryMap() {
    static std::unordered_map<HWND, std::unique_ptr<CWnd>> map;
    return map;
}
}  // namespace

IMPLEMENT_DYNAMIC(CWnd, CObject)

BEGIN_MESSAGE_MAP(CWnd, CCmdTarget)
    ON_WM_DRAWITEM()
END_MESSAGE_MAP()

CWnd::~CWnd() {
    CWinApp* app = AfxGetApp();
    if (app && app->m_pMainWnd == this) app->m_pMainWnd = nullptr;
    if (m_hWnd && FromHandlePermanent(m_hWnd) == this) {
        // The window outlives its object: release it from the object first, so that its
        // last messages do not reach a half-destroyed object, then destroy it.
        HWND hWnd = UnsubclassWindow();
        if (!hWnd) hWnd = Detach();
        if (::IsWindow(hWnd)) ::DestroyWindow(hWnd);
    }
    m_hWnd = nullptr;
}

CWnd* CWnd::FromHandlePermanent(HWND hWnd) {
    if (!hWnd) return nullptr;
    auto& map = PermanentMap();
    auto it = map.find(hWnd);
    return it == map.end() ? nullptr : it->second;
}

CWnd* CWnd::FromHandle(HWND hWnd) {
    if (!hWnd) return nullptr;
    if (CWnd* permanent = FromHandlePermanent(hWnd)) return permanent;
    auto& temps = TemporaryMap();
    auto it = temps.find(hWnd);
    if (it != temps.end()) return it->second.get();
    auto wrapper = std::make_unique<CWnd>();
    wrapper->m_hWnd = hWnd;
    CWnd* result = wrapper.get();
    temps.emplace(hWnd, std::move(wrapper));
    return result;
}

void CWnd::DeleteTempMap() {
    auto& temps = TemporaryMap();
    for (auto& entry : temps) entry.second->m_hWnd = nullptr;  // wrappers never own their window
    temps.clear();
    AfxDeleteTempGdiObjects();
}

BOOL CWnd::Attach(HWND hWnd) {
    if (!hWnd || m_hWnd) return FALSE;
    auto& map = PermanentMap();
    if (map.count(hWnd)) return FALSE;  // another object owns it
    map[hWnd] = this;
    m_hWnd = hWnd;
    return TRUE;
}

HWND CWnd::Detach() {
    HWND hWnd = m_hWnd;
    if (hWnd) {
        auto& map = PermanentMap();
        auto it = map.find(hWnd);
        if (it != map.end() && it->second == this) map.erase(it);
    }
    m_hWnd = nullptr;
    return hWnd;
}

BOOL CWnd::SubclassWindow(HWND hWnd) {
    if (!Attach(hWnd)) return FALSE;
    if (!::SetWindowSubclass(hWnd, &CWnd::SubclassProc, kSubclassId, reinterpret_cast<DWORD_PTR>(this))) {
        Detach();
        return FALSE;
    }
    m_bSubclassed = true;
    return TRUE;
}

HWND CWnd::UnsubclassWindow() {
    if (!m_bSubclassed) return nullptr;
    ::RemoveWindowSubclass(m_hWnd, &CWnd::SubclassProc, kSubclassId);
    m_bSubclassed = false;
    return Detach();
}

void CWnd::OnFinalMessage() {
    if (m_bSubclassed) {
        ::RemoveWindowSubclass(m_hWnd, &CWnd::SubclassProc, kSubclassId);
        m_bSubclassed = false;
    }
    Detach();
    PostNcDestroy();
}

LRESULT CALLBACK CWnd::SubclassProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                    DWORD_PTR refData) {
    CWnd* wnd = reinterpret_cast<CWnd*>(refData);
    if (message == WM_NCDESTROY) {
        // The last message: unbind, let the window finish, then tell the object.
        LRESULT result = ::DefSubclassProc(hWnd, message, wParam, lParam);
        wnd->OnFinalMessage();
        return result;
    }
    return AfxCallWndProc(wnd, hWnd, message, wParam, lParam);
}

LRESULT AfxCallWndProc(CWnd* wnd, HWND, UINT message, WPARAM wParam, LPARAM lParam) {
    CWnd::CurrentMessage saved = wnd->m_current;
    wnd->m_current = CWnd::CurrentMessage{message, wParam, lParam, true};
    LRESULT result = wnd->WindowProc(message, wParam, lParam);
    wnd->m_current = saved;
    return result;
}

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    if (message >= WM_CTLCOLORMSGBOX && message <= WM_CTLCOLORSTATIC) {
        AFX_CTLCOLOR cc{reinterpret_cast<HWND>(lParam), reinterpret_cast<HDC>(wParam),
                        message - WM_CTLCOLORMSGBOX};
        if (DispatchMessageMap(WM_CTLCOLOR, 0, reinterpret_cast<LPARAM>(&cc), &result)) return result;
        return DefWindowProc(message, wParam, lParam);
    }
    if (DispatchMessageMap(message, wParam, lParam, &result)) return result;
    return DefWindowProc(message, wParam, lParam);
}

LRESULT CWnd::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (m_bSubclassed) return ::DefSubclassProc(m_hWnd, message, wParam, lParam);
    return ::DefWindowProcW(m_hWnd, message, wParam, lParam);
}

LRESULT CWnd::Default() {
    if (!m_current.valid || !m_hWnd) return 0;
    return DefWindowProc(m_current.message, m_current.wParam, m_current.lParam);
}

bool CWnd::OnChildNotify(UINT, WPARAM, LPARAM, LRESULT*) { return false; }

void CWnd::OnDrawItem(int, LPDRAWITEMSTRUCT drawItem) {
    if (drawItem && drawItem->CtlType != ODT_MENU) {
        if (CWnd* control = FromHandlePermanent(drawItem->hwndItem)) {
            LRESULT result = 0;
            if (control->OnChildNotify(WM_DRAWITEM, 0, reinterpret_cast<LPARAM>(drawItem), &result)) return;
        }
    }
    Default();
}

BOOL CWnd::DestroyWindow() {
    if (!m_hWnd) return FALSE;
    return ::DestroyWindow(m_hWnd);
}

CWnd* CWnd::GetDlgItem(int id) const {
    if (!m_hWnd) return nullptr;
    return FromHandle(::GetDlgItem(m_hWnd, id));
}

void CWnd::GetWindowText(CString& text) const {
    int length = ::GetWindowTextLengthW(m_hWnd);
    if (length <= 0) {
        text.Empty();
        return;
    }
    wchar_t* buffer = text.GetBuffer(length + 1);
    int copied = ::GetWindowTextW(m_hWnd, buffer, length + 1);
    text.ReleaseBuffer(copied > 0 ? copied : 0);
}

CFont* CWnd::GetFont() const {
    return CFont::FromHandle(reinterpret_cast<HFONT>(SendMessage(WM_GETFONT)));
}

namespace {
BOOL ModifyLong(HWND hWnd, int index, DWORD remove, DWORD add, UINT flags) {
    DWORD style = static_cast<DWORD>(::GetWindowLongW(hWnd, index));
    DWORD newStyle = (style & ~remove) | add;
    if (style == newStyle) return FALSE;
    ::SetWindowLongW(hWnd, index, static_cast<LONG>(newStyle));
    if (flags)
        ::SetWindowPos(hWnd, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | flags);
    return TRUE;
}
}  // namespace

BOOL CWnd::ModifyStyle(DWORD remove, DWORD add, UINT flags) { return ModifyLong(m_hWnd, GWL_STYLE, remove, add, flags); }

BOOL CWnd::ModifyStyleEx(DWORD remove, DWORD add, UINT flags) {
    return ModifyLong(m_hWnd, GWL_EXSTYLE, remove, add, flags);
}

void CWnd::CenterWindow(CWnd* alternateOwner) {
    CRect rcWindow;
    GetWindowRect(&rcWindow);
    if (GetStyle() & WS_CHILD) {
        HWND parent = ::GetParent(m_hWnd);
        CRect rcParent;
        ::GetClientRect(parent, &rcParent);
        int x = (rcParent.Width() - rcWindow.Width()) / 2;
        int y = (rcParent.Height() - rcWindow.Height()) / 2;
        ::SetWindowPos(m_hWnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        return;
    }
    HWND owner = alternateOwner ? alternateOwner->m_hWnd : ::GetWindow(m_hWnd, GW_OWNER);
    MONITORINFO mi{};
    mi.cbSize = sizeof mi;
    HMONITOR monitor = ::MonitorFromWindow(owner ? owner : m_hWnd, MONITOR_DEFAULTTONEAREST);
    CRect rcArea;
    if (monitor && ::GetMonitorInfoW(monitor, &mi)) {
        rcArea = mi.rcWork;
    } else {
        ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &rcArea, 0);
    }
    CRect rcCenter = rcArea;
    if (owner && ::IsWindowVisible(owner) && !::IsIconic(owner)) ::GetWindowRect(owner, &rcCenter);

    int x = rcCenter.left + (rcCenter.Width() - rcWindow.Width()) / 2;
    int y = rcCenter.top + (rcCenter.Height() - rcWindow.Height()) / 2;
    // Keep the window inside the work area.
    if (x + rcWindow.Width() > rcArea.right) x = rcArea.right - rcWindow.Width();
    if (x < rcArea.left) x = rcArea.left;
    if (y + rcWindow.Height() > rcArea.bottom) y = rcArea.bottom - rcWindow.Height();
    if (y < rcArea.top) y = rcArea.top;
    ::SetWindowPos(m_hWnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

int CWnd::MessageBox(const wchar_t* text, const wchar_t* caption, UINT type) {
    return MessageBoxPresenter().Show(m_hWnd, text, caption, type);
}
