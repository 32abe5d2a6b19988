#pragma once
// The link-button control, window class "MfcLink": shows its window text as a
// hyperlink (underlined, link colour, hand cursor, tooltip); a click with the mouse, or
// Space while it has the focus, opens its address in the default browser through the
// web-page presenter. Its properties come from the dialog's control-initialisation data
// (see DlgInit.h) or from the setters. Each window of the class owns its object, which is
// made at WM_NCCREATE and deleted after WM_NCDESTROY.
#include "framework/Wnd.h"

#define AFX_LINKCTRL_CLASSNAME L"MfcLink"

class CMFCLinkCtrl : public CWnd {
    DECLARE_DYNAMIC(CMFCLinkCtrl)
public:
    CMFCLinkCtrl() = default;

    void SetURL(const wchar_t* url) { m_strURL = url; UpdateTooltip(); }
    void SetURLPrefix(const wchar_t* prefix) { m_strURLPrefix = prefix; UpdateTooltip(); }
    // `fullText` TRUE: the tooltip shows the full address rather than `text`.
    void SetTooltip(const wchar_t* text) { m_strTooltip = text; UpdateTooltip(); }
    void SetFullTextTooltip(BOOL fullText) { m_bFullTextTooltip = fullText != FALSE; UpdateTooltip(); }
    const CString& GetURL() const { return m_strURL; }
    const CString& GetURLPrefix() const { return m_strURLPrefix; }
    const CString& GetTooltip() const { return m_strTooltip; }
    bool IsFullTextTooltip() const { return m_bFullTextTooltip; }

    // The address a click opens: the prefix in front of an address that has no scheme
    // of its own ("://"); empty when no address is set.
    CString GetFullAddress() const;
    // The text the tooltip shows.
    CString GetTooltipText() const;
    // Opens the address through the web-page presenter; false when there is none.
    bool OpenLink();
    // Applies a property list in the tag form of the initialisation data.
    void ApplyInitText(const std::wstring& text);

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    void PostNcDestroy() override { delete this; }

    static LRESULT CALLBACK WndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);

private:
    void Paint(HDC dc);
    void CreateTooltip();
    void UpdateTooltip();

    CString m_strURL;
    CString m_strURLPrefix;
    CString m_strTooltip;
    bool m_bFullTextTooltip = false;
    bool m_bPressed = false;
    HFONT m_hFont = nullptr;      // set by WM_SETFONT; owned by whoever set it
    HWND m_hTooltip = nullptr;    // owned by this control (destroyed with it)
};

// Registers the "MfcLink" window class for the application's module (once; later calls
// do nothing). Dialogs call it before they are created from a template.
bool AfxRegisterLinkControlClass();
