#include "app/DEZMfcApp.h"

#include <commctrl.h>

#include "app/Checks.h"
#include "app/Directories.h"
#include "app/Globals.h"
#include "app/InstanceGuard.h"
#include "component/RuntimeComponent.h"
#include "supervisor/Verification.h"
#include "ui/EIPMfcAppDlg.h"
#include "util/CrashReport.h"
#include "util/MessageBox.h"
#include "util/RegistryVersion.h"
#include "util/RunLog.h"

BEGIN_MESSAGE_MAP(DEZMfcApp, CWinApp)
    ON_COMMAND(ID_HELP, &CWinApp::OnHelp)
END_MESSAGE_MAP()

DEZMfcApp::DEZMfcApp() : CWinApp(nullptr) {
    m_dwRestartManagerSupportFlags = AFX_RESTART_MANAGER_SUPPORT_RESTART;
}

DEZMfcApp::~DEZMfcApp() = default;

namespace {
// Libraries are looked for in the launcher's own folder and the system folder only, never
// in the current directory or along PATH. Looked up at run time: systems without the
// function keep their standard search.
void RestrictDllSearch() {
    typedef BOOL(WINAPI * SetDefaultDllDirectoriesFn)(DWORD);
    HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    auto set = reinterpret_cast<SetDefaultDllDirectoriesFn>(
        reinterpret_cast<void*>(GetProcAddress(kernel, "SetDefaultDllDirectories")));
    if (set) set(LOAD_LIBRARY_SEARCH_APPLICATION_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32);
}
}  // namespace

BOOL DEZMfcApp::InitInstance() {
    InstallCrashReporting();
    RestrictDllSearch();
    // The digests the start sequence will need start before anything else, so that they
    // run while the libraries of the window are loaded and the checks and the window are
    // set up. Whatever is not taken by the time start-up ends is abandoned, also when a
    // second copy or a failed check ends it early.
    const CString launcherDir = GetLauncherDirectory();
    PrefetchStartupDigests(launcherDir, StartupDigests());
    struct AbandonDigests {
        ~AbandonDigests() { StartupDigests().AbandonAll(); }
    } abandonDigests;

    INITCOMMONCONTROLSEX icc = {};
    icc.dwSize = sizeof icc;
    icc.dwICC = ICC_WIN95_CLASSES;
    InitCommonControlsEx(&icc);

    CWinApp::InitInstance();

    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(AfxGetInstanceHandle(), self, MAX_PATH);
    RunLog(L"launcher started: %ls, version %ls", self, GetLauncherFileVersion().GetString());

    // One launcher per logon session. The guard is held for the life of the process; the
    // system releases it when the process ends. A refused copy has already let go of the
    // mutex when its box appears, so that it keeps nothing alive while the user reads.
    if (AcquireInstanceGuard(L"DEZ_App_Mutex", g_hAppMutex) == GuardResult::AnotherCopyRuns) {
        ShowWarningBox(kProductName + L"已经在运行中！\n请在电脑任务栏查找软件图标打开主界面！", L"重复打开软件提示",
                       nullptr);
        return FALSE;
    }

    g_strAppDir = launcherDir;

    if (!CheckRuntimeEnvironment()) return FALSE;
    if (!CheckInstallation()) return FALSE;

    AfxEnableControlContainer();
    CShellManager* pShellManager = new CShellManager;
    CMFCVisualManager::SetDefaultManager(RUNTIME_CLASS(CMFCVisualManagerWindows));
    SetRegistryKey(L"应用程序向导生成的本地应用程序");

    {
        CEIPMfcAppDlg dlg;
        m_pMainWnd = &dlg;
        dlg.DoModal();
    }

    delete pShellManager;
    ControlBarCleanUp();
    return FALSE;
}

int DEZMfcApp::ExitInstance() {
    if (g_bRuntimeLoaded) g_runtime.Unload();
    return CWinApp::ExitInstance();
}
