#include "app/Checks.h"

#include "app/Directories.h"
#include "app/Globals.h"
#include "component/RuntimeComponent.h"
#include "framework/Presenters.h"
#include "supervisor/OutcomeMessages.h"
#include "util/FileHelpers.h"
#include "util/MessageBox.h"
#include "util/RegistryVersion.h"
#include "util/RunLog.h"

const CString kNetFx4DownloadPage = L"https://www.microsoft.com/zh-cn/download/confirmation.aspx?id=22833";

namespace {
const wchar_t* AnswerText(int answer) { return answer == IDNO ? L"no" : answer == IDYES ? L"yes" : L"neither"; }

// Nothing of the installation stays open while the user reads a box: a digest not yet
// taken is made again when a check needs it.
void ReleaseInstallationFiles() { StartupDigests().AbandonAll(); }

// Asks whether start-up goes on without a missing runtime. No opens the runtime's download
// page and ends start-up; any other answer goes on.
bool UserGoesOnWithout(const wchar_t* question, const wchar_t* runtime, const CString& downloadPage) {
    ReleaseInstallationFiles();
    const int answer = ShowYesNoBox(question, L"运行环境检测提示", nullptr);
    RunLog(L"check: the user answered %ls to going on without %ls", AnswerText(answer), runtime);
    if (answer != IDNO) return true;
    WebPagePresenter().Open(downloadPage);
    return false;
}

void LoadComponent() {
    const LaunchOutcome loaded = g_runtime.Load(StartupInstallation());
    g_bRuntimeLoaded = loaded.ok();
    RunLog(L"check: runtime component %ls", g_bRuntimeLoaded ? L"loaded" : L"not loaded");
    // A file that is not the shipped one is named later, among the data files, with the
    // digests still under way.
    if (loaded.ok() || loaded.status == LaunchStatus::ComponentNotShipped) return;
    ReleaseInstallationFiles();
    PresentOutcome(loaded, g_strAppDir);
}
}  // namespace

bool CheckRuntimeEnvironment() {
    g_bNetFx4Installed = IsNetFramework4Installed();
    RunLog(L"check: .NET Framework 4 %ls", g_bNetFx4Installed ? L"present" : L"missing");
    if (!g_bNetFx4Installed &&
        !UserGoesOnWithout(
            L"电脑上可能缺少.Net Framework4.0 运行环境，请进入微软官网下载安装.Net Framework4.0或以上版本后再尝试运行本软件！\n是否继续？",
            L".NET Framework 4", kNetFx4DownloadPage)) {
        return false;
    }

    g_bVcRuntimeInstalled = IsVcRuntimeInstalled();
    RunLog(L"check: VC++ runtime %ls", g_bVcRuntimeInstalled ? L"present" : L"missing or too old");
    if (!g_bVcRuntimeInstalled &&
        !UserGoesOnWithout(L"本机Windows操作系统缺少微软 VC++2015运行库，软件可能无法正确加载，建议安装后再打开软件！\n是否继续？",
                           L"the VC++ runtime", kVcRedistDownloadPage)) {
        return false;
    }

    UpdateUiFontFace();
    if (g_bNetFx4Installed) LoadComponent();
    return true;
}

bool CheckInstallation() {
    CString desktop = GetDesktopDirectory();
    RunLog(L"check: installation folder %ls", g_strAppDir.GetString());
    if (!desktop.IsEmpty() && desktop == g_strAppDir) {
        RunLog(L"check: the installation folder is the desktop; refused");
        ReleaseInstallationFiles();
        ShowWarningBox(L"软件不可直接安装在电脑桌面！\n请卸载后重新安装！", L"初始化提示", nullptr);
        return false;
    }

    // The package and the component's files, in the order of their table.
    for (const VerifiedFile& file : kVerifiedFiles) {
        if (!file.IsDataFile() || FileExists(JoinPath(g_strAppDir, file.name))) continue;
        RunLog(L"check: %ls is missing; refused", file.name);
        ReleaseInstallationFiles();
        ShowWarningBox(L"缺少运行文件！\n请正确安装软件后再打开软件。", L"初始化提示", nullptr);
        return false;
    }
    RunLog(L"check: installation complete");
    return true;
}
