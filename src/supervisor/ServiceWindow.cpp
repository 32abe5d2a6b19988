#include "supervisor/ServiceWindow.h"

#include <tlhelp32.h>

#include <exception>
#include <vector>

#include "framework/Codepage.h"
#include "framework/Handles.h"
#include "util/FileHelpers.h"
#include "util/InstallationNames.h"
#include "util/RegistryVersion.h"
#include "util/RunLog.h"

#ifndef VELMORA_SERVICE_CLIENT_ID
#define VELMORA_SERVICE_CLIENT_ID L""
#endif

CString g_strClientId = VELMORA_SERVICE_CLIENT_ID;
COleDateTime g_dtTokenDate;

namespace {

// The token names the day of the session. Nothing else gives the launcher a date, so the
// first use takes today's local date and later clicks in the same run reuse it.
const COleDateTime& TokenDate() {
    if (g_dtTokenDate == COleDateTime()) g_dtTokenDate = COleDateTime::GetCurrentTime();
    return g_dtTokenDate;
}

}  // namespace

bool IsProcessRunning(const CString& exeName) {
    UniqueSnapshot snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) return false;
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof entry;  // 556
    for (BOOL more = ::Process32FirstW(snapshot.get(), &entry); more;
         more = ::Process32NextW(snapshot.get(), &entry)) {
        if (exeName.CompareNoCase(entry.szExeFile) == 0) return true;
    }
    return false;
}

CString BuildServiceToken(const CString& clientId, const CString& version, const CString& date) {
    return clientId + L"_IBP_" + version + L"_" + date + L"_LoadPage";
}

CString BuildServiceCommandLine(const CString& programPath, const CString& address,
                                const CString& port, const CString& token,
                                const CString& productName) {
    CString line;
    line.Format(L"%ls %ls %ls %ls %ls", programPath.GetString(), address.GetString(),
                port.GetString(), token.GetString(), productName.GetString());
    return line;
}

LaunchOutcome StartServiceWindow(const CString& appDir, const CString& serverAddress, const CString& serverPort) {
    const CString fileName = kServiceProgramName + L".exe";
    if (IsProcessRunning(fileName)) {
        RunLog(L"service window: already open; refused");
        return LaunchOutcome::Of(LaunchStatus::ServiceWindowOpen);
    }
    const CString programPath = JoinPath(appDir, fileName);
    try {
        const CString version = GetLauncherFileVersion();
        const CString date = TokenDate().Format(L"%Y-%m-%d");
        const CString token = BuildServiceToken(g_strClientId, version, date);
        const CString line =
            BuildServiceCommandLine(programPath, serverAddress, serverPort, token, kProductName);

        // The command line stays unquoted, as the service program expects it, so the program
        // is also named explicitly: without it a folder with spaces would make the system
        // try "C:\Program.exe" and the like first.
        std::vector<wchar_t> writable(line.GetString(), line.GetString() + line.GetLength() + 1);
        STARTUPINFOW si = {};
        si.cb = sizeof si;  // 68
        UniqueProcessInformation pi;
        if (!::CreateProcessW(programPath, writable.data(), nullptr, nullptr, FALSE, 0, nullptr,
                              nullptr, &si, pi.put())) {
            RunLog(L"service window: cannot be started (error %lu)", GetLastError());
            return LaunchOutcome::Of(LaunchStatus::ServiceWindowStartFailed, GetLastError());
        }
        RunLog(L"service window: started (pid %lu)", pi.get().dwProcessId);
        // Not waited for and not watched: both handles go at once.
        pi.reset();
        return LaunchOutcome::Of(LaunchStatus::Ok);
    } catch (const std::exception& e) {
        return LaunchOutcome::Of(LaunchStatus::ServiceWindowException, 0, NarrowToWide(e.what(), CP_THREAD_ACP));
    }
}
