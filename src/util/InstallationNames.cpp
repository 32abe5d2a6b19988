#include "util/InstallationNames.h"

#include "util/VerifiedFiles.h"

const CString kProductName = L"Velmora";
const CString kServiceProgramName = L"Sevra";
const CString kAppConfFile = L"AppConf.ini";
// The verified files are named in their table.
const CString kComponentLibFile = VerifiedFileOf(VerifiedFileId::ComponentLib).name;
const CString kComponentApiFile = VerifiedFileOf(VerifiedFileId::ComponentApi).name;
const CString kMainProgramFile = VerifiedFileOf(VerifiedFileId::MainProgram).name;
const CString kMainProgramCacheFile = L"kstcache";
const CString kProgramPackageFile = VerifiedFileOf(VerifiedFileId::Package).name;
const CString kPackagePassword = L"73kvd_204519";
const CString kPackageInfoTable = L"DatFileInfo";
const CString kPackageDataTable = L"FileDat";
const CString kUpdaterFile = L"qorupd.exe";

CString LongestInstallationFileName() {
    CString longest;
    auto consider = [&longest](const CString& name) {
        if (name.GetLength() > longest.GetLength()) longest = name;
    };
    for (const VerifiedFile& file : kVerifiedFiles) consider(file.name);
    for (const CString& name : {kAppConfFile, kMainProgramCacheFile, kUpdaterFile, kServiceProgramName + L".exe"}) {
        consider(name);
    }
    return longest;
}
