// The splash dialog's side of the start sequence and of the launch: it runs the
// verification and launch core, keeps the window answering while digests run, and
// presents each outcome (box, status line, link, web page) to the user.
#include <windows.h>
#include <commctrl.h>

#include <exception>

#include "ComponentDigests.h"
#include "app/Globals.h"
#include "component/RuntimeComponent.h"
#include "framework/Codepage.h"
#include "framework/Presenters.h"
#include "framework/WinApp.h"
#include "supervisor/MainCommandLine.h"
#include "supervisor/MainProgramRun.h"
#include "supervisor/OutcomeMessages.h"
#include "ui/EIPMfcAppDlg.h"
#include "util/DigestCodec.h"
#include "util/FileHelpers.h"
#include "util/MessageBox.h"
#include "util/RunLog.h"

namespace {

// A wait shorter than this leaves the window unseen, as on every normal run.
const DWORD kShowProgressAfterMs = 1000;
const DWORD kProgressTickMs = 100;

void RestartLauncher() {
    g_hAppMutex.reset();
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(AfxGetInstanceHandle(), self, MAX_PATH);
    RunLog(L"restarting the launcher");
    ShellExecuteW(nullptr, L"open", self, nullptr, nullptr, SW_SHOW);
}

void PostQuitToMainWindow() {
    CWinApp* app = AfxGetApp();
    HWND mainWindow = (app && app->m_pMainWnd) ? app->m_pMainWnd->GetSafeHwnd() : nullptr;
    PostMessageW(mainWindow, WM_QUIT, 0, 0);
}

void EnableContinueLink(HWND link) {
    ::ShowWindow(link, SW_SHOW);
    ::EnableWindow(link, TRUE);
    // A link control created disabled may keep its link item disabled after the window
    // is enabled (Wine does); enable the item itself too.
    LITEM item = {};
    item.mask = LIF_ITEMINDEX | LIF_STATE;
    item.iLink = 0;
    item.state = LIS_ENABLED;
    item.stateMask = LIS_ENABLED;
    ::SendMessageW(link, LM_SETITEM, 0, reinterpret_cast<LPARAM>(&item));
}

}  // namespace

VerificationContext CEIPMfcAppDlg::MakeVerificationContext() {
    VerificationContext context;
    context.appDir = g_strAppDir;
    context.prefetch = &StartupDigests();
    context.wait = [this](CDigestTask& task, const wchar_t* what) { return WaitShowingProgress(task, what); };
    context.fixedLibDigest = VELMORA_COMPONENT_LIB_MD5;
    context.fixedApiDigest = VELMORA_COMPONENT_API_MD5;
    return context;
}

bool CEIPMfcAppDlg::WaitShowingProgress(CDigestTask& task, const wchar_t* what) {
    const DWORD started = GetTickCount();
    HANDLE done = task.DoneEvent();
    for (;;) {
        if (MsgWaitForMultipleObjects(1, &done, FALSE, kProgressTickMs, QS_ALLINPUT) == WAIT_OBJECT_0) return true;
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                PostQuitMessage(static_cast<int>(msg.wParam));
                return false;
            }
            if (!::IsDialogMessageW(m_hWnd, &msg)) {
                TranslateMessage(&msg);
                DispatchMessageW(&msg);
            }
        }
        if (IsEndRequested() || !::IsWindow(m_hWnd)) return false;
        if (GetTickCount() - started < kShowProgressAfterMs) continue;

        const DigestProgress& progress = task.Progress();
        const unsigned long long total = progress.total;
        const int percent = total ? static_cast<int>(progress.done * 100 / total) : 0;
        if (percent != m_nShownPercent) {
            m_nShownPercent = percent;
            CString text;
            text.Format(L"正在校验%ls……%d%%", what, percent);
            SetStatusText(text);
        }
        if (!::IsWindowVisible(m_hWnd)) ::ShowWindow(m_hWnd, SW_SHOW);
    }
}

bool CEIPMfcAppDlg::RunStartSequence() {
    // A component file that failed its digest was never loaded; the data-file check
    // below names it, in its place among the checks.
    if (!g_bRuntimeLoaded && !g_runtime.FailedVerification()) {
        const LaunchOutcome outcome = LaunchOutcome::Of(LaunchStatus::RuntimeMissingAtStart);
        SetStatusText(StatusTextFor(outcome));
        PresentOutcome(outcome, g_strAppDir);
        return true;
    }

    if (!ValidateDataFiles()) {
        if (IsEndRequested()) return true;  // closed by the user while it waited
        SetStatusText(L"数据文件错误，请下载完整安装包修复。");
        WebPagePresenter().Open(g_strWebsiteUrl + L"/softlist");
        return true;
    }

    // Offered from now on: should the launch fail, the user can try again from here.
    if (HWND link = ::GetDlgItem(m_hWnd, IDC_LINK_CONTINUE)) EnableContinueLink(link);

    LaunchMainProgram();
    return false;
}

void CEIPMfcAppDlg::OnNMClickContinueLink(NMHDR*, LRESULT* pResult) {
    LaunchMainProgram();
    *pResult = 0;
}

CString CEIPMfcAppDlg::DecodeConfigValue(const CString& value) { return DecodeDigestText(value); }

BOOL CEIPMfcAppDlg::ValidateDataFiles() {
    const LaunchOutcome outcome = VerifyDataFiles(MakeVerificationContext());
    PresentOutcome(outcome, g_strAppDir);
    return outcome.ok();
}

bool CEIPMfcAppDlg::EnsureMainProgram(const CString&, const CString& packagePath) {
    const CString appDir = g_strAppDir;
    auto extract = [&](CString& errorText) {
        return g_runtime.ExtractFile(packagePath, kPackagePassword, kPackageInfoTable, kPackageDataTable, appDir,
                                     kMainProgramFile, errorText);
    };
    m_program = CVerifiedProgram();
    const LaunchOutcome outcome = PrepareMainProgram(MakeVerificationContext(), extract, m_program);
    PresentOutcome(outcome, g_strAppDir);
    return outcome.ok();
}

bool CEIPMfcAppDlg::LaunchMainProgram() {
    if (!g_bRuntimeLoaded) {
        PresentOutcome(LaunchOutcome::Of(LaunchStatus::RuntimeMissingAtLaunch), g_strAppDir);
        return true;
    }
    if (!EnsureMainProgram(JoinPath(g_strAppDir, kMainProgramFile), JoinPath(g_strAppDir, kProgramPackageFile))) {
        return true;
    }

    bool hidden = false;
    try {
        CMainProgramRun run;
        const LaunchOutcome started = run.Start(m_program, BuildMainCommandLine(m_program.path, g_strAppDir, g_strServerAddress, g_strServerPort));
        if (!started.ok()) {
            PresentOutcome(started, g_strAppDir);
            return true;
        }
        ::ShowWindow(m_hWnd, SW_HIDE);
        hidden = true;

        const DWORD exitCode = run.WaitForExit();
        Sleep(1000);
        ActOnExitCode(exitCode);
        PostQuitToMainWindow();
        return false;
    } catch (const std::exception& e) {
        PresentOutcome(LaunchOutcome::Of(LaunchStatus::Exception, 0, NarrowToWide(e.what())), g_strAppDir);
        // Hidden while the program ran: show the dialog again so the user can retry or
        // close it rather than leaving a launcher running unseen.
        if (hidden) ::ShowWindow(m_hWnd, SW_SHOW);
        return true;
    }
}

void CEIPMfcAppDlg::ActOnExitCode(DWORD exitCode) {
    const ExitAction action = ActionForExitCode(exitCode);
    if (action == ExitAction::RestartLauncher) {
        // The new launcher needs the guard free; the file keeps its program name.
        RestartLauncher();
        return;
    }
    if (action == ExitAction::ReportBadArguments) {
        ShowWarningBox(L"运行参数错误。", L"错误提示", nullptr);
    } else if (action == ExitAction::RunUpdater || IsUpdatePending()) {
        RunUpdater(true);
    }
    // A cache file left by an earlier run is stale: the program that just ran was
    // verified against the recorded digest, so it takes that place. Should the rename
    // still fail, the user is told and the launcher ends anyway; the program stays under
    // its own name and is used next time (in a folder that cannot be written, silently).
    PresentOutcome(RestoreCacheName(g_strAppDir), g_strAppDir);
}
