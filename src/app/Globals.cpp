#include "app/Globals.h"

#include <exception>

#include "BuildSettings.h"
#include "app/MainProgramArgs.h"

const CString kProductName = L"Velmora";
const CString kAppConfFile = L"AppConf.ini";
const CString kComponentLibFile = L"CsBrevinLab.dll";
const CString kComponentApiFile = L"CsBrevinApi.dll";
const CString kMainProgramFile = L"Kestrun.exe";
const CString kMainProgramCacheFile = L"kstcache";
const CString kProgramPackageFile = L"Kestpak.da";
const CString kPackagePassword = L"73kvd_204519";
const CString kPackageInfoTable = L"DatFileInfo";
const CString kPackageDataTable = L"FileDat";
const CString kServiceProgramName = L"Sevra";
const CString kLaunchToken = L"kwdmet508341";
const CString kUpdaterFile = L"qorupd.exe";
const CString kMainProgramFixedArgs[kMainProgramFixedArgCount] = {
    VELMORA_MAIN_ARG_1,  VELMORA_MAIN_ARG_2,  VELMORA_MAIN_ARG_3,  VELMORA_MAIN_ARG_4,  VELMORA_MAIN_ARG_5,
    VELMORA_MAIN_ARG_6,  VELMORA_MAIN_ARG_7,  VELMORA_MAIN_ARG_8,  VELMORA_MAIN_ARG_9,  VELMORA_MAIN_ARG_10,
    VELMORA_MAIN_ARG_11, VELMORA_MAIN_ARG_12, VELMORA_MAIN_ARG_13, VELMORA_MAIN_ARG_14,
};

CString g_strAppDir;
UniqueOwnedMutex g_hAppMutex;
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
