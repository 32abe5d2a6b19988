#include "supervisor/UpdateHandoff.h"

#include <shellapi.h>
#include <shlwapi.h>

#include <exception>
#include <iostream>

#include "framework/FileFind.h"
#include "framework/Handles.h"
#include "util/FileHelpers.h"
#include "util/InstallationNames.h"
#include "util/RunLog.h"

namespace {

const wchar_t kMarkerFile[] = L"upd.tmp";
const wchar_t kUpdateFolder[] = L"update";
const wchar_t kUpdateRequest[] = L"6";

// The updater must be a file: the shell would "open" a folder of that name in a file
// window and report success.
bool IsRegularFile(const CString& path) {
    const DWORD attributes = ::GetFileAttributesW(path);
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Removes the used-up marker, read-only or not.
void RemoveMarker(const CString& marker) {
    const DWORD attributes = ::GetFileAttributesW(marker);
    if (attributes == INVALID_FILE_ATTRIBUTES) return;
    if (attributes & FILE_ATTRIBUTE_READONLY) ::SetFileAttributesW(marker, attributes & ~FILE_ATTRIBUTE_READONLY);
    if (::DeleteFileW(marker)) {
        RunLog(L"update: marker removed");
    } else {
        RunLog(L"update: marker cannot be removed (error %lu)", ::GetLastError());
    }
}

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

LaunchOutcome StartUpdater(const CString& appDir) {
    const CString updaterPath = JoinPath(appDir, kUpdaterFile);
    if (!IsRegularFile(updaterPath)) {
        RunLog(L"update: no updater file %ls", updaterPath.GetString());
        return LaunchOutcome::Of(LaunchStatus::UpdaterMissing);
    }

    HINSTANCE result = ::ShellExecuteW(nullptr, L"open", updaterPath, nullptr, nullptr, SW_SHOW);
    if (reinterpret_cast<INT_PTR>(result) > 32) {
        RunLog(L"update: updater started");
        // The request has been handed over. A marker that cannot be removed (held open) is
        // left behind without a message: the updater is already running and may be waiting
        // for the launcher to end so that it can replace its files, which a box would hold
        // up. A stale marker starts nothing once the updater has emptied the update folder.
        RemoveMarker(JoinPath(appDir, kMarkerFile));
        return LaunchOutcome::Of(LaunchStatus::Ok);
    }

    const DWORD error = ::GetLastError();
    RunLog(L"update: the updater cannot be started (error %lu)", error);
    return LaunchOutcome::Of(LaunchStatus::UpdaterStartFailed, error, kUpdaterFile);
}
