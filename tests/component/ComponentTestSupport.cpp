#include "ComponentTestSupport.h"

#include "app/Globals.h"
#include "component/RuntimeComponent.h"
#include "supervisor/OutcomeMessages.h"
#include "util/FileDigest.h"
#include "util/FileHelpers.h"
#include "framework/Handles.h"

std::wstring BinDirectory() {
    std::wstring dir = ProgramDirectory();
    const size_t slash = dir.find_last_of(L'\\');
    return slash == std::wstring::npos ? dir : dir.substr(0, slash);
}

std::wstring ProbeFile(const std::wstring& name) { return ProgramDirectory() + L"\\" + name; }

bool CopyAs(const std::wstring& source, const std::wstring& dir, const std::wstring& name) {
    return CopyFileW(source.c_str(), (dir + L"\\" + name).c_str(), FALSE) != FALSE;
}

bool CopyComponentCompanions(const std::wstring& dir) {
    for (const VerifiedFile& file : kVerifiedFiles) {
        if (file.role != FileRole::Component || kComponentApiFile == file.name) continue;
        if (!CopyAs(BinDirectory() + L"\\" + file.name, dir, file.name)) return false;
    }
    return true;
}

ScopedLauncherDir::ScopedLauncherDir(const std::wstring& dir) : m_previousAppDir(g_strAppDir) {
    g_strAppDir = dir.c_str();
    SetDllDirectoryW(dir.c_str());
}

Installation InstalledComponent(const std::wstring& folder) {
    Installation where;
    where.folder = folder.c_str();
    for (const VerifiedFile& file : kVerifiedFiles) {
        if (file.role == FileRole::Component) where.fixed.Set(file.name, GetFileMd5(where.PathOf(file)));
    }
    return where;
}

bool LoadInstalledComponent(CRuntimeComponent& holder) {
    const Installation installation = InstalledComponent(g_strAppDir.Str());
    const LaunchOutcome outcome = OutcomeOf(holder.Load(installation));
    COutcomePresenter(installation, g_strWebsiteUrl, MessageBoxPresenter(), WebPagePresenter()).Present(outcome);
    return outcome.ok();
}

ScopedLauncherDir::~ScopedLauncherDir() {
    SetDllDirectoryW(nullptr);
    g_strAppDir = m_previousAppDir;
}

int CountFiles(const std::wstring& dir, const std::wstring& pattern) {
    WIN32_FIND_DATAW data;
    UniqueFind find(FindFirstFileW((dir + L"\\" + pattern).c_str(), &data));
    if (!find) return 0;
    int count = 0;
    do {
        ++count;
    } while (FindNextFileW(find.get(), &data));
    return count;
}
