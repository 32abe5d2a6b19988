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

    // Sets the status line's text; does nothing when the control is missing.
    void SetStatusText(const CString& text);

    // The members below hand over to the launch (m_launch), which holds the state.
    // Start sequence: true when it stopped early with a reason on the status line,
    // false when it reached the launch.
    bool RunStartSequence();
    // Package and component files against their recorded digests; one box on false.
    BOOL ValidateDataFiles();
    // The main program file matches its recorded digest or was extracted again; one box
    // on false.
    bool EnsureMainProgram(const CString& programPath, const CString& packagePath);
    // Runs the main program and acts on its exit code; true when it stopped with a
    // message before the program ran.
    bool LaunchMainProgram();
    // An update request (marker "6" and content in the update folder) is pending.
    bool IsUpdatePending();
    // Starts the updater; true when it was started.
    bool RunUpdater(bool bReportMissing);
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
        bool WaitForDigest(CDigestTask& task, const wchar_t* what) override;
        void EndModalLoop() override;

    private:
        CEIPMfcAppDlg& m_dialog;
    };

    // Keeps the window answering while a digest runs; past a second the window shows how
    // far it has got. Afterwards the status line is what it was before.
    bool WaitShowingProgress(CDigestTask& task, const wchar_t* what);
    bool PumpWaitingMessages();
    void ShowProgress(const DigestProgress& progress, const wchar_t* what);

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
    int m_nShownPercent = -1;  // last progress shown on the status line

public:
    HICON m_hIcon;
    COwerButton m_btnMin;
    COwerButton m_btnClose;
    CFont m_fontStatus;
};
