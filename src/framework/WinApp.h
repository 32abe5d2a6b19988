#pragma once
// The application object and its start-up flow: the entry point calls InitInstance, then
// the framework calls ExitInstance and the process ends with its result. Windows run
// modally inside InitInstance (CDialogEx::DoModal, whose loop is the program's only message
// loop); the framework has no application-wide message pump.
#include "framework/CmdTarget.h"
#include "framework/CString.h"

class CWnd;

#define AFX_RESTART_MANAGER_SUPPORT_RESTART 0x01
#define ID_HELP 0xE146

class CWinApp : public CCmdTarget {
public:
    explicit CWinApp(const wchar_t* appName = nullptr);
    ~CWinApp() override;

    // Registers with the system's restart manager when the restart flag is set.
    virtual BOOL InitInstance();
    // Returns the process exit code: the WM_QUIT code last taken by a message loop.
    virtual int ExitInstance();
    // After an InitInstance that returned TRUE: nothing is left to run, so this is
    // ExitInstance.
    virtual int Run();

    // Remembers the key under which settings would be stored; nothing is written.
    void SetRegistryKey(const wchar_t* key);
    const CString& GetRegistryKey() const { return m_strRegistryKey; }

    // The launcher ships no help file: the help command has nothing to open.
    void OnHelp();

    HINSTANCE m_hInstance = nullptr;
    CWnd* m_pMainWnd = nullptr;
    CString m_strAppName;
    DWORD m_dwRestartManagerSupportFlags = 0;
    int m_nQuitCode = 0;  // wParam of the last WM_QUIT a message loop took

    // True after InitInstance registered with the restart manager.
    bool IsRegisteredForRestart() const { return m_bRestartRegistered; }

    DECLARE_MESSAGE_MAP()

private:
    CString m_strRegistryKey;
    bool m_bRestartRegistered = false;
};

CWinApp* AfxGetApp();
HINSTANCE AfxGetInstanceHandle();
HINSTANCE AfxGetResourceHandle();
int AfxWinMain(HINSTANCE instance);

// Hosting of ActiveX controls: the launcher's dialog has none, so enabling it only
// records the request.
void AfxEnableControlContainer();
bool AfxIsControlContainerEnabled();

// Releases the framework's control-bar state. The launcher has no control bars; this
// frees what the visual manager holds.
void ControlBarCleanUp();

// Shell integration object of the framework (shell lists, tree views): the launcher's
// dialog uses none of it; the object only marks that the shell manager exists.
class CShellManager {
public:
    CShellManager();
    ~CShellManager();
    static CShellManager* Current();
};

// The look of framework-drawn controls. Only the Windows look exists here.
class CMFCVisualManager : public CObject {
    DECLARE_DYNCREATE(CMFCVisualManager)
public:
    static void SetDefaultManager(const CRuntimeClass* managerClass);
    static CMFCVisualManager* GetInstance();
    static void DestroyInstance();
};

class CMFCVisualManagerWindows : public CMFCVisualManager {
    DECLARE_DYNCREATE(CMFCVisualManagerWindows)
};
