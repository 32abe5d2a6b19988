#include "app/Checks.h"

#include "app/Directories.h"
#include "app/Globals.h"
#include "component/RuntimeComponent.h"
#include "framework/Presenters.h"
#include "util/FileHelpers.h"
#include "util/RegistryVersion.h"
#include "util/RunLog.h"

namespace {
const wchar_t* AnswerText(int answer) { return answer == IDNO ? L"no" : answer == IDYES ? L"yes" : L"neither"; }

// Asks whether start-up goes on without a missing runtime. No opens the runtime's download
// page and ends start-up; any other answer goes on.
bool UserGoesOnWithout(LaunchStatus question, const wchar_t* runtime) {
    const int answer = PresentStartupOutcome(LaunchOutcome::Of(question));
    RunLog(L"check: the user answered %ls to going on without %ls", AnswerText(answer), runtime);
    return answer != IDNO;
}

void LoadComponent() {
    const LaunchOutcome loaded = OutcomeOf(g_runtime.Load(StartupInstallation()));
    g_bRuntimeLoaded = loaded.ok();
    RunLog(L"check: runtime component %ls", g_bRuntimeLoaded ? L"loaded" : L"not loaded");
    // A file that is not the shipped one is named later, among the data files, with the
    // digests still under way: that outcome shows no box.
    PresentStartupOutcome(loaded);
}
}  // namespace

int PresentStartupOutcome(const LaunchOutcome& outcome) {
    return COutcomePresenter(StartupInstallation(), g_strWebsiteUrl, MessageBoxPresenter(), WebPagePresenter())
        .Present(outcome);
}

bool CheckInstallationPath() {
    // The longest name the launcher joins to its folder; the launcher's own path must have
    // been read whole, too.
    wchar_t self[MAX_PATH] = {};
    const bool selfWhole = GetModuleFileNameW(nullptr, self, MAX_PATH) < MAX_PATH;
    if (selfWhole && !JoinPath(g_strAppDir, LongestInstallationFileName()).IsEmpty()) return true;
    RunLog(L"check: the installation folder's path is too long (%d characters); refused", g_strAppDir.GetLength());
    PresentStartupOutcome(LaunchOutcome::Of(LaunchStatus::InstallationPathTooLong));
    return false;
}

bool CheckRuntimeEnvironment() {
    g_bNetFx4Installed = IsNetFramework4Installed();
    RunLog(L"check: .NET Framework 4 %ls", g_bNetFx4Installed ? L"present" : L"missing");
    if (!g_bNetFx4Installed && !UserGoesOnWithout(LaunchStatus::NetFx4Missing, L".NET Framework 4")) return false;

    g_bVcRuntimeInstalled = IsVcRuntimeInstalled();
    RunLog(L"check: VC++ runtime %ls", g_bVcRuntimeInstalled ? L"present" : L"missing or too old");
    if (!g_bVcRuntimeInstalled && !UserGoesOnWithout(LaunchStatus::VcRuntimeMissing, L"the VC++ runtime")) {
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
        PresentStartupOutcome(LaunchOutcome::Of(LaunchStatus::InstallationOnDesktop));
        return false;
    }

    // The package and the component's files, in the order of their table.
    for (const VerifiedFile& file : kVerifiedFiles) {
        if (!file.IsDataFile() || FileExists(JoinPath(g_strAppDir, file.name))) continue;
        RunLog(L"check: %ls is missing; refused", file.name);
        PresentStartupOutcome(LaunchOutcome::Of(LaunchStatus::RuntimeFileMissing));
        return false;
    }
    RunLog(L"check: installation complete");
    return true;
}
