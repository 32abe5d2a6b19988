// The start sequence that the splash dialog runs at the end of its initialisation, and the
// "继续加载" link that repeats a failed launch.
#include <windows.h>
#include <commctrl.h>

#include "app/Globals.h"
#include "framework/Presenters.h"
#include "ui/EIPMfcAppDlg.h"
#include "util/MessageBox.h"

bool CEIPMfcAppDlg::RunStartSequence() {
    if (!g_bRuntimeLoaded) {
        const CString reason = L"运行库加载失败，请尝试重启软件...";
        SetStatusText(reason);
        ShowWarningBox(reason, L"初始化提示", nullptr);
        return true;
    }

    if (!ValidateDataFiles()) {
        // ValidateDataFiles has told the user why; the download list helps to repair.
        SetStatusText(L"数据文件错误，请下载完整安装包修复。");
        WebPagePresenter().Open(g_strWebsiteUrl + L"/softlist");
        return true;
    }

    // Offered from now on: should the launch fail, the user can try again from here.
    if (HWND link = ::GetDlgItem(m_hWnd, IDC_LINK_CONTINUE)) {
        ::ShowWindow(link, SW_SHOW);
        ::EnableWindow(link, TRUE);
        // A link control created disabled may keep its link item disabled after the
        // window is enabled (Wine does); enable the item itself too.
        LITEM item = {};
        item.mask = LIF_ITEMINDEX | LIF_STATE;
        item.iLink = 0;
        item.state = LIS_ENABLED;
        item.stateMask = LIS_ENABLED;
        ::SendMessageW(link, LM_SETITEM, 0, reinterpret_cast<LPARAM>(&item));
    }

    LaunchMainProgram();
    return false;
}

void CEIPMfcAppDlg::OnNMClickContinueLink(NMHDR*, LRESULT* pResult) {
    LaunchMainProgram();
    *pResult = 0;
}
