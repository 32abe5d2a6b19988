#include "app/DEZMfcApp.h"

#include <commctrl.h>

#include "app/Checks.h"
#include "app/Directories.h"
#include "app/Globals.h"
#include "component/RuntimeComponent.h"
#include "ui/EIPMfcAppDlg.h"
#include "util/MessageBox.h"

BEGIN_MESSAGE_MAP(DEZMfcApp, CWinApp)
    ON_COMMAND(ID_HELP, &CWinApp::OnHelp)
END_MESSAGE_MAP()

DEZMfcApp::DEZMfcApp() : CWinApp(nullptr) {
    m_dwRestartManagerSupportFlags = AFX_RESTART_MANAGER_SUPPORT_RESTART;
}

DEZMfcApp::~DEZMfcApp() = default;

BOOL DEZMfcApp::InitInstance() {
    INITCOMMONCONTROLSEX icc = {};
    icc.dwSize = sizeof icc;
    icc.dwICC = ICC_WIN95_CLASSES;
    InitCommonControlsEx(&icc);

    CWinApp::InitInstance();

    // One launcher per logon session. The handle stays open for the life of the process;
    // the system releases the mutex when the process ends.
    g_hAppMutex.reset(CreateMutexW(nullptr, TRUE, L"DEZ_App_Mutex"));
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        ShowWarningBox(kProductName + L"已经在运行中！\n请在电脑任务栏查找软件图标打开主界面！", L"重复打开软件提示",
                       nullptr);
        g_hAppMutex.reset();
        return FALSE;
    }

    g_strAppDir = GetLauncherDirectory();

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
