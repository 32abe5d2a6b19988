#include "supervisor/UpdateHandoff.h"

#include <shellapi.h>
#include <shlwapi.h>

#include <exception>
#include <iostream>

#include "app/Globals.h"
#include "framework/FileFind.h"
#include "framework/Handles.h"
#include "supervisor/ErrorText.h"
#include "ui/EIPMfcAppDlg.h"
#include "util/FileHelpers.h"
#include "util/MessageBox.h"

namespace {

const wchar_t kMarkerFile[] = L"upd.tmp";
const wchar_t kUpdateFolder[] = L"update";
const wchar_t kUpdateRequest[] = L"6";
const wchar_t kUpdaterTitle[] = L"软件升级提示";

}  // namespace

bool IsFolderEmpty(const CString& folder) {
    try {
        const CString pattern = folder + L"\\*";
        // The first listing only tells whether the folder can be listed at all; it stays
        // open while the entries are walked.
        WIN32_FIND_DATAW data = {};
        UniqueFind listing(::FindFirstFileW(pattern, &data));
        if (!listing) return true;

        CFileFind finder;
        BOOL more = finder.FindFile(pattern);
        while (more) {
            more = finder.FindNextFile();
            if (finder.IsDots()) continue;
            if (finder.IsDirectory() && finder.IsHidden()) continue;
            return false;
        }
        return true;
    } catch (const std::exception& e) {
        std::cerr << "Exception: " << e.what() << std::endl;
        return true;
    } catch (...) {
        std::cerr << "Unknown exception occurred." << std::endl;
        return true;
    }
}

bool IsUpdateRequestText(const CString& text) {
    CString trimmed = text;
    trimmed.Trim();
    return trimmed.Compare(kUpdateRequest) == 0;
}

bool IsUpdatePendingIn(const CString& appDir) {
    const CString marker = JoinPath(appDir, kMarkerFile);
    if (!::PathFileExistsW(marker)) return false;
    if (IsFolderEmpty(JoinPath(appDir, kUpdateFolder))) return false;
    CString ignoredError;
    return IsUpdateRequestText(ReadStringFile(marker, ignoredError));
}

bool StartUpdater(const CString& appDir, bool bReportMissing) {
    const CString updaterPath = JoinPath(appDir, kUpdaterFile);
    if (!::PathFileExistsW(updaterPath)) {
        if (bReportMissing) ShowWarningBox(L"升级程序加载失败！\n文件丢失。", kUpdaterTitle, nullptr);
        return false;
    }

    HINSTANCE result = ::ShellExecuteW(nullptr, L"open", updaterPath, nullptr, nullptr, SW_SHOW);
    if (reinterpret_cast<INT_PTR>(result) > 32) {
        // The request has been handed over. A marker that cannot be removed (held open or
        // read-only) is left behind without a message: the updater is already running and
        // may be waiting for the launcher to end so that it can replace its files, which a
        // box would hold up. A stale marker starts nothing once the updater has emptied the
        // update folder.
        const CString marker = JoinPath(appDir, kMarkerFile);
        if (::PathFileExistsW(marker)) ::DeleteFileW(marker);
        return true;
    }

    const DWORD error = ::GetLastError();
    ShowWarningBox(CString(L"升级程序加载失败！\n") + HidePathsInErrorText(SystemErrorText(error), appDir),
                   kUpdaterTitle, nullptr);
    return false;
}

bool CEIPMfcAppDlg::IsUpdatePending() { return IsUpdatePendingIn(g_strAppDir); }

bool CEIPMfcAppDlg::RunUpdater(bool bReportMissing) { return StartUpdater(g_strAppDir, bReportMissing); }
