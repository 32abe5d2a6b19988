#include "framework/WinApp.h"

#include <memory>

namespace {
CWinApp* g_app = nullptr;
bool g_controlContainer = false;
CShellManager* g_shellManager = nullptr;
std::unique_ptr<CMFCVisualManager> g_visualManager;
}  // namespace

BEGIN_MESSAGE_MAP(CWinApp, CCmdTarget)
    ON_COMMAND(ID_HELP, &CWinApp::OnHelp)
END_MESSAGE_MAP()

CWinApp::CWinApp(const wchar_t* appName) : m_strAppName(appName) { g_app = this; }

CWinApp::~CWinApp() {
    if (g_app == this) g_app = nullptr;
}

BOOL CWinApp::InitInstance() {
    if (m_dwRestartManagerSupportFlags & AFX_RESTART_MANAGER_SUPPORT_RESTART) {
        // The launcher reads no arguments, so a restart needs none.
        m_bRestartRegistered = SUCCEEDED(RegisterApplicationRestart(nullptr, 0));
    }
    return TRUE;
}

int CWinApp::ExitInstance() { return m_nQuitCode; }

int CWinApp::Run() { return ExitInstance(); }

void CWinApp::SetRegistryKey(const wchar_t* key) { m_strRegistryKey = key; }

void CWinApp::OnHelp() {}

CWinApp* AfxGetApp() { return g_app; }

HINSTANCE AfxGetInstanceHandle() {
    if (g_app && g_app->m_hInstance) return g_app->m_hInstance;
    return GetModuleHandleW(nullptr);
}

HINSTANCE AfxGetResourceHandle() { return AfxGetInstanceHandle(); }

int AfxWinMain(HINSTANCE instance) {
    CWinApp* app = AfxGetApp();
    if (!app) return -1;
    app->m_hInstance = instance;
    if (!app->InitInstance()) return app->ExitInstance();
    return app->Run();
}

void AfxEnableControlContainer() { g_controlContainer = true; }
bool AfxIsControlContainerEnabled() { return g_controlContainer; }

CShellManager::CShellManager() { g_shellManager = this; }
CShellManager::~CShellManager() {
    if (g_shellManager == this) g_shellManager = nullptr;
}
CShellManager* CShellManager::Current() { return g_shellManager; }

IMPLEMENT_DYNCREATE(CMFCVisualManager, CObject)
IMPLEMENT_DYNCREATE(CMFCVisualManagerWindows, CMFCVisualManager)

void CMFCVisualManager::SetDefaultManager(const CRuntimeClass* managerClass) {
    if (!managerClass || !managerClass->IsDerivedFrom(RUNTIME_CLASS(CMFCVisualManager))) return;
    g_visualManager.reset(static_cast<CMFCVisualManager*>(managerClass->CreateObject()));
}

CMFCVisualManager* CMFCVisualManager::GetInstance() { return g_visualManager.get(); }
void CMFCVisualManager::DestroyInstance() { g_visualManager.reset(); }

void ControlBarCleanUp() { CMFCVisualManager::DestroyInstance(); }
