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
#include "util/InstallationNames.h"
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

// The process-wide state, read once, for the splash dialog and its launch.
SplashSettings SplashSettingsOfThisRun() {
    SplashSettings settings;
    LaunchSettings& launch = settings.launch;
    launch.installation = StartupInstallation();
    launch.component = g_bRuntimeLoaded ? &g_runtime : nullptr;
    launch.componentNotShipped = g_runtime.FailedVerification();
    launch.websiteUrl = g_strWebsiteUrl;
    launch.serverAddress = g_strServerAddress;
    launch.serverPort = g_strServerPort;
    launch.guard = &g_hAppMutex;
    settings.uiFontFace = g_strUiFontFace;
    return settings;
}
}  // namespace

BOOL DEZMfcApp::InitInstance() {
    // The copy that a launcher starts as its crash handler does only that: no guard, no
    // window, no log line of its own.
    if (RunCrashHandlerIfAsked(GetCommandLineW())) return FALSE;
    InstallCrashReporting();
    RestrictDllSearch();
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(AfxGetInstanceHandle(), self, MAX_PATH);
    RunLog(L"launcher started: %ls, version %ls", self, GetLauncherFileVersion().GetString());

    // One launcher per logon session, decided before anything of the installation is
    // opened: a refused copy reads nothing and holds nothing while its box is up (it has
    // also let go of the mutex by then). The guard is held for the life of the process; the
    // system releases it when the process ends.
    if (AcquireInstanceGuard(L"DEZ_App_Mutex", g_hAppMutex) == GuardResult::AnotherCopyRuns) {
        PresentStartupOutcome(LaunchOutcome::Of(LaunchStatus::AnotherCopyRuns));
        return FALSE;
    }

    g_strAppDir = GetLauncherDirectory();
    if (!CheckInstallationPath()) return FALSE;
    // The digests the start sequence will need start now, so that they run while the
    // libraries of the window are loaded and the checks and the window are set up. Whatever
    // is not taken by the time start-up ends is abandoned, also when a failed check ends it.
    PrefetchStartupDigests(StartupInstallation());
    struct AbandonDigests {
        ~AbandonDigests() { StartupDigests().AbandonAll(); }
    } abandonDigests;

    INITCOMMONCONTROLSEX icc = {};
    icc.dwSize = sizeof icc;
    icc.dwICC = ICC_WIN95_CLASSES;
    InitCommonControlsEx(&icc);

    CWinApp::InitInstance();

    if (!CheckRuntimeEnvironment()) return FALSE;
    if (!CheckInstallation()) return FALSE;

    AfxEnableControlContainer();
    CShellManager* pShellManager = new CShellManager;
    CMFCVisualManager::SetDefaultManager(RUNTIME_CLASS(CMFCVisualManagerWindows));
    SetRegistryKey(L"应用程序向导生成的本地应用程序");

    {
        CEIPMfcAppDlg dlg(SplashSettingsOfThisRun());
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
