#include "util/InstallationNames.h"

const CString kProductName = L"Velmora";
const CString kServiceProgramName = L"Sevra";
const CString kAppConfFile = L"AppConf.ini";
const CString kComponentLibFile = L"CsBrevinLab.dll";
const CString kComponentApiFile = L"CsBrevinApi.dll";
const CString kMainProgramFile = L"Kestrun.exe";
const CString kMainProgramCacheFile = L"kstcache";
const CString kProgramPackageFile = L"Kestpak.da";
const CString kPackagePassword = L"73kvd_204519";
const CString kPackageInfoTable = L"DatFileInfo";
const CString kPackageDataTable = L"FileDat";
const CString kUpdaterFile = L"qorupd.exe";
