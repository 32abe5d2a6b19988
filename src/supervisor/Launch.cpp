// Launch and supervision of the main program: its file gets its runnable name, is
// verified (or extracted again), runs inside a kill-on-close job with its fixed command
// line while the launcher waits, and the exit code decides what follows.
#include <windows.h>
#include <shlwapi.h>

#include <exception>

#include "app/Globals.h"
#include "framework/Codepage.h"
#include "framework/Handles.h"
#include "framework/WinApp.h"
#include "framework/Wnd.h"
#include "supervisor/ErrorText.h"
#include "supervisor/JobObject.h"
#include "supervisor/MainCommandLine.h"
#include "ui/EIPMfcAppDlg.h"
#include "util/FileHelpers.h"
#include "util/FileRetry.h"
#include "util/MessageBox.h"

namespace {

const wchar_t kLaunchTitle[] = L"软件加载提示";

// Exit codes agreed with the main program.
const DWORD kExitRestartLauncher = 4;
const DWORD kExitBadArguments = 2;
const DWORD kExitRunUpdater = 6;

CString InstallationPath(const CString& name) {
    wchar_t buffer[MAX_PATH] = {};
    if (!PathCombineW(buffer, g_strAppDir, name)) return CString();
    return CString(buffer);
}

// Gives the main program's file its other name. A file left under the target name by an
// earlier run is replaced when `replace` is set. A file that another program holds open
// for a moment is waited for. On failure the user is told once, with the system's reason
// (paths hidden), and false comes back.
bool RenameMainProgramFile(const CString& from, const CString& to, bool replace) {
    DWORD flags = replace ? MOVEFILE_REPLACE_EXISTING : 0;
    if (MoveFileRetrying(from, to, flags)) return true;
    CString reason = HidePathsInErrorText(SystemErrorText(GetLastError()));
    ShowWarningBox(L"加载文件重命名失败！\n" + reason, kLaunchTitle, nullptr);
    return false;
}

void RestartLauncher() {
    g_hAppMutex.reset();
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(AfxGetInstanceHandle(), self, MAX_PATH);
    ShellExecuteW(nullptr, L"open", self, nullptr, nullptr, SW_SHOW);
}

void PostQuitToMainWindow() {
    CWinApp* app = AfxGetApp();
    HWND mainWindow = (app && app->m_pMainWnd) ? app->m_pMainWnd->GetSafeHwnd() : nullptr;
    PostMessageW(mainWindow, WM_QUIT, 0, 0);
}

}  // namespace

bool CEIPMfcAppDlg::LaunchMainProgram() {
    if (!g_bRuntimeLoaded) {
        ShowWarningBox(L"软件启动失败！\n软件运行库未成功加载。", L"加载软件提示", nullptr);
        return true;
    }

    const CString programPath = InstallationPath(kMainProgramFile);
    const CString cachePath = InstallationPath(kMainProgramCacheFile);
    const CString packagePath = InstallationPath(kProgramPackageFile);

    // Between runs the file lies under its cache name. When an earlier run did not end
    // normally it still lies under the program name: that file is used (it is verified
    // next like any other), and a cache file beside it stays untouched until this run
    // ends and the verified program takes its place.
    if (FileExists(cachePath) && !FileExists(programPath)) {
        if (!RenameMainProgramFile(cachePath, programPath, false)) return true;
    }

    if (!EnsureMainProgram(programPath, packagePath)) return true;

    if (!PathFileExistsW(programPath)) {
        ShowWarningBox(L"软件加载失败，未找到加载文件，请重试。", L"加载软件提示", nullptr);
        return true;
    }

    bool hidden = false;
    try {
        UniqueHandle job = CreateKillOnCloseJob();

        CString commandLine = BuildMainCommandLine(programPath, g_strAppDir);
        // CreateProcessW may write into the command line: hand it a private copy.
        std::wstring writable(commandLine.Str());
        writable.push_back(L'\0');

        STARTUPINFOW startup;
        ZeroMemory(&startup, sizeof startup);
        startup.cb = sizeof startup;
        UniqueProcessInformation process;
        if (!CreateProcessW(nullptr, &writable[0], nullptr, nullptr, FALSE, CREATE_BREAKAWAY_FROM_JOB, nullptr,
                            nullptr, &startup, process.put())) {
            CString reason = HidePathsInErrorText(SystemErrorText(GetLastError(), kMainProgramFile));
            ShowWarningBox(L"加载失败！\n" + reason, kLaunchTitle, nullptr);
            return true;
        }

        ::ShowWindow(m_hWnd, SW_HIDE);
        hidden = true;

        if (job && AssignProcessToJobObject(job.get(), process.process())) {
            HANDLE waitFor[2] = {process.process(), job.get()};
            WaitForMultipleObjects(2, waitFor, FALSE, INFINITE);
            job.reset();
        } else {
            job.reset();
            WaitForSingleObject(process.process(), INFINITE);
        }

        DWORD exitCode = 0;
        GetExitCodeProcess(process.process(), &exitCode);
        process.reset();

        Sleep(1000);

        if (exitCode == kExitRestartLauncher) {
            // The new launcher needs the guard free; the file keeps its program name.
            RestartLauncher();
        } else {
            if (exitCode == kExitBadArguments) {
                ShowWarningBox(L"运行参数错误。", L"错误提示", nullptr);
            } else if (exitCode == kExitRunUpdater) {
                RunUpdater(true);
            } else if (IsUpdatePending()) {
                RunUpdater(true);
            }
            // A cache file left by an earlier run is stale: the program that just ran
            // was verified against the recorded digest, so it takes that place. Should
            // the rename still fail, the user has been told and the launcher ends anyway;
            // the program stays under its own name and is used next time.
            RenameMainProgramFile(programPath, cachePath, true);
        }

        PostQuitToMainWindow();
        return false;
    } catch (const std::exception& e) {
        CString reason = HidePathsInErrorText(NarrowToWide(e.what()));
        ShowWarningBox(L"加载失败！\n" + reason, kLaunchTitle, nullptr);
        // Hidden while the program ran: show the dialog again so the user can retry or
        // close it rather than leaving a launcher running unseen.
        if (hidden) ::ShowWindow(m_hWnd, SW_SHOW);
        return true;
    }
}
