#include "app/Globals.h"

#include <exception>

#include "BuildSettings.h"

CString g_strAppDir;
CThreadOwnedMutex g_hAppMutex;
BOOL g_bNetFx4Installed = TRUE;
BOOL g_bVcRuntimeInstalled = TRUE;
bool g_bRuntimeLoaded = false;
const CString g_strWebsiteUrl = CString(L"http://") + VELMORA_SITE_HOST_W;
const CString g_strServerAddress = VELMORA_SERVER_ADDRESS_W;
const CString g_strServerPort = L"6629";
CString g_strUiFontFace = L"SimSun";

void UpdateUiFontFace() {
    try {
        HGDIOBJ font = GetStockObject(DEFAULT_GUI_FONT);
        if (!font) return;
        LOGFONTW lf = {};
        if (GetObjectW(font, sizeof lf, &lf) == 0) return;
        g_strUiFontFace = lf.lfFaceName;
    } catch (const std::exception&) {
        // The face keeps its previous value.
    }
}

CDigestPrefetch& StartupDigests() {
    static CDigestPrefetch prefetch;
    return prefetch;
}

Installation StartupInstallation() {
    Installation installation;
    installation.folder = g_strAppDir;
    installation.prefetch = &StartupDigests();
    return installation;
}
