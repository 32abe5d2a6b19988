#include "app/Checks.h"

#include "ComponentDigests.h"

#include "app/Directories.h"
#include "app/Globals.h"
#include "component/RuntimeComponent.h"
#include "framework/Presenters.h"
#include "util/DigestTask.h"
#include "util/FileHelpers.h"
#include "util/MessageBox.h"
#include "util/RegistryVersion.h"

const CString kNetFx4DownloadPage = L"https://www.microsoft.com/zh-cn/download/confirmation.aspx?id=22833";

bool CheckRuntimeEnvironment() {
    g_bNetFx4Installed = IsNetFramework4Installed();
    if (!g_bNetFx4Installed) {
        int answer = ShowYesNoBox(
            L"电脑上可能缺少.Net Framework4.0 运行环境，请进入微软官网下载安装.Net Framework4.0或以上版本后再尝试运行本软件！\n是否继续？",
            L"运行环境检测提示", nullptr);
        if (answer == IDNO) {
            WebPagePresenter().Open(kNetFx4DownloadPage);
            return false;
        }
    }

    g_bVcRuntimeInstalled = IsVcRuntimeInstalled();
    if (!g_bVcRuntimeInstalled) {
        int answer = ShowYesNoBox(
            L"本机Windows操作系统缺少微软 VC++2015运行库，软件可能无法正确加载，建议安装后再打开软件！\n是否继续？",
            L"运行环境检测提示", nullptr);
        if (answer == IDNO) {
            WebPagePresenter().Open(kVcRedistDownloadPage);
            return false;
        }
    }

    UpdateUiFontFace();

    if (g_bNetFx4Installed) {
        ComponentLocation where;
        where.folder = g_strAppDir;
        where.libDigest = VELMORA_COMPONENT_LIB_MD5;
        where.apiDigest = VELMORA_COMPONENT_API_MD5;
        where.prefetch = &StartupDigests();
        g_bRuntimeLoaded = g_runtime.Load(where);
    }
    return true;
}

bool CheckInstallation() {
    CString desktop = GetDesktopDirectory();
    if (!desktop.IsEmpty() && desktop == g_strAppDir) {
        ShowWarningBox(L"软件不可直接安装在电脑桌面！\n请卸载后重新安装！", L"初始化提示", nullptr);
        return false;
    }

    for (const CString* name : {&kProgramPackageFile, &kComponentLibFile, &kComponentApiFile}) {
        if (!FileExists(JoinPath(g_strAppDir, *name))) {
            ShowWarningBox(L"缺少运行文件！\n请正确安装软件后再打开软件。", L"初始化提示", nullptr);
            return false;
        }
    }
    return true;
}
