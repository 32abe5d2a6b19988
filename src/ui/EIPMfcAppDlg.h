#pragma once
// The splash dialog: the launcher's only window. Its initialisation runs the start
// sequence, and the launch and supervision of the main program happen inside it.
#include "framework/Dialog.h"
#include "supervisor/Launch.h"
#include "ui/OwerButton.h"
#include "ui/resource.h"

// What the splash dialog is given by the application: the launch's settings and the face
// of the UI font that the caption buttons compare their own with.
struct SplashSettings {
    LaunchSettings launch;
    CString uiFontFace = L"SimSun";
};

class CEIPMfcAppDlg : public CDialogEx {
public:
    // Without settings the dialog has no installation and no component: its start
    // sequence stops at once (what the dialog's own tests need).
    explicit CEIPMfcAppDlg(CWnd* pParent = nullptr);
    explicit CEIPMfcAppDlg(const SplashSettings& settings, CWnd* pParent = nullptr);
    // A window still open (modeless use) is destroyed while the object is whole.
    ~CEIPMfcAppDlg() override;
    enum { IDD = IDD_EIPMFCAPP_DIALOG };
    // Messages of the launch to this window, posted (also from its workers): an event in
    // wParam; a digest's percentage in wParam and the file's name (static storage) in lParam.
    enum : UINT { WM_LAUNCH_EVENT = WM_APP + 1, WM_LAUNCH_PROGRESS = WM_APP + 2 };
    // The pause between the main program's end and what its exit code asks for.
    enum : UINT_PTR { PAUSE_TIMER = 1 };

    // Sets the status line's text; does nothing when the control is missing.
    void SetStatusText(const CString& text);

    // The members below hand over to the launch (m_launch), a state machine that runs on
    // this window's thread and never blocks it.
    // Start sequence: the last step of the dialog's initialisation; its steps run on
    // workers and report back through this window's message queue.
    void RunStartSequence();
    // Asks for a launch attempt, as the continue link does; true when one began (refused
    // while another is under way or once the launcher is finishing).
    bool LaunchMainProgram();
    // A stored configuration value turned back into a digest.
    CString DecodeConfigValue(const CString& value);

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;

    afx_msg void OnPaint();
    afx_msg HCURSOR OnQueryDragIcon();
    afx_msg void OnShowWindow(BOOL bShow, UINT nStatus);
    afx_msg void OnSize(UINT nType, int cx, int cy);
    afx_msg LRESULT OnNcHitTest(CPoint point);
    afx_msg HBRUSH OnCtlColor(CDC* pDC, CWnd* pWnd, UINT nCtlColor);
    afx_msg void OnBnClickedBtnMin();
    afx_msg void OnBnClickedBtnClose();
    afx_msg void OnTimer(UINT_PTR nIDEvent);
    afx_msg void OnDestroy();
    afx_msg void OnNMClickServiceLink(NMHDR* pNMHDR, LRESULT* pResult);
    afx_msg void OnNMClickContinueLink(NMHDR* pNMHDR, LRESULT* pResult);
    // Escape, Enter, Alt+F4 and a close from elsewhere go to the launch, which decides.
    afx_msg void OnClose();
    void OnCancel() override;
    void OnOK() override;
    afx_msg BOOL OnQueryEndSession();
    afx_msg void OnEndSession(BOOL bEnding);
    afx_msg LRESULT OnLaunchEvent(WPARAM wParam, LPARAM lParam);
    afx_msg LRESULT OnLaunchProgress(WPARAM wParam, LPARAM lParam);
    // The window moved to a monitor of another resolution (per-monitor awareness).
    afx_msg LRESULT OnDpiChanged(WPARAM wParam, LPARAM lParam);

    DECLARE_MESSAGE_MAP()

private:
    // The dialog as the launch sees it.
    class CLaunchWindow : public ILaunchWindow {
    public:
        explicit CLaunchWindow(CEIPMfcAppDlg& dialog) : m_dialog(dialog) {}
        void SetStatusText(const CString& text) override { m_dialog.SetStatusText(text); }
        void ShowContinueLink(bool enabled) override;
        void Hide() override;
        void Show() override;
        void Post(LaunchEvent event) override;
        void PostProgress(const wchar_t* what, int percent) override;
        void ShowProgress(const wchar_t* what, int percent) override;
        void EndProgress() override;
        void StartPause(DWORD ms) override;
        void EndModalLoop(int result) override;

    private:
        CEIPMfcAppDlg& m_dialog;
    };

    // Pixel measures given for 96 DPI, at the window's resolution.
    int Scaled(int pixels) const;
    // Caption buttons: glyph heights, size and place at the window's resolution, flush with
    // its right edge. Nothing moves when either button is missing.
    void LayOutCaptionButtons();
    // Gives the status line a font of that description; the font it had goes afterwards.
    // Nothing changes when the font cannot be made.
    void ReplaceStatusFont(const LOGFONTW& description);

    CString m_strUiFontFace;
    UINT m_nDpi = 96;  // the window's resolution, as its pixel measures are scaled to
    CLaunchWindow m_launchWindow{*this};
    CLaunch m_launch;
    int m_nShownPercent = -1;         // last progress shown on the status line; -1: none
    CString m_strStatusBeforeProgress;  // what the status line said before the percentage
    bool m_bShownOnce = false;          // the launch has shown the window before

public:
    HICON m_hIcon;
    COwerButton m_btnMin;
    COwerButton m_btnClose;
    CFont m_fontStatus;
};
