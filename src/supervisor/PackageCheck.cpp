// Verification of the program package, the component files and the main program against
// the digests recorded in AppConf.ini, and extraction of the main program from the package
// when its file is missing or differs.
#include <windows.h>

#include "ComponentDigests.h"
#include "app/Globals.h"
#include "component/RuntimeComponent.h"
#include "supervisor/ConfigReader.h"
#include "supervisor/DigestCodec.h"
#include "ui/EIPMfcAppDlg.h"
#include "util/FileDigest.h"
#include "util/FileHelpers.h"
#include "util/MessageBox.h"

namespace {

const wchar_t kLoadTitle[] = L"软件加载提示";

// An error text that mentions the package's inner workings (its database, password or
// table names) is never shown as it is.
bool IsPackageInternalError(const CString& errorText) {
    const CString markers[] = {L"no such", L"unrecognized token", L"sql",
                               kPackagePassword, kPackageInfoTable, kPackageDataTable};
    for (const CString& marker : markers) {
        if (!marker.IsEmpty() && errorText.Find(marker) >= 0) return true;
    }
    return false;
}

// The stored form of a digest recorded in AppConf.ini under `key`. When the file cannot be
// read or lacks the key, the user is told with `missingText` and false comes back.
bool ReadRecordedDigest(const wchar_t* key, const wchar_t* missingText, CString& stored) {
    CConfigReader config(JoinPath(g_strAppDir, kAppConfFile));
    if (config.GetValue(key, stored)) return true;
    ShowWarningBox(missingText, kLoadTitle, nullptr);
    return false;
}

}  // namespace

CString CEIPMfcAppDlg::DecodeConfigValue(const CString& value) { return DecodeDigestText(value); }

BOOL CEIPMfcAppDlg::ValidateDataFiles() {
    CString stored;
    if (!ReadRecordedDigest(L"Apdbm5", L"加载配置文件失败！\r\nAppConf-apdbm5", stored)) return FALSE;
    CString expected = DecodeConfigValue(stored);
    CString actual = GetFileMd5(JoinPath(g_strAppDir, kProgramPackageFile));
    if (actual != expected) {
        ShowWarningBox(L"数据文件错误，请重启软件后再尝试。\n若重启软件后仍无法正常加载，请进入网站下载完整安装包重装或修复软件。",
                       kLoadTitle, nullptr);
        return FALSE;
    }

    // The component libraries are part of the launcher's own build: their digests are
    // fixed when the launcher is built.
    if (GetFileMd5(JoinPath(g_strAppDir, kComponentLibFile)) != CString(VELMORA_COMPONENT_LIB_MD5)) {
        ShowWarningBox(L"运行组件文件错误：CsLab校验失败。", kLoadTitle, nullptr);
        return FALSE;
    }
    if (GetFileMd5(JoinPath(g_strAppDir, kComponentApiFile)) != CString(VELMORA_COMPONENT_API_MD5)) {
        ShowWarningBox(L"运行组件文件错误：CsApi校验失败。", kLoadTitle, nullptr);
        return FALSE;
    }
    return TRUE;
}

bool CEIPMfcAppDlg::EnsureMainProgram(const CString& programPath, const CString& packagePath) {
    bool needsExtraction = true;
    if (FileExists(programPath)) {
        CString stored;
        if (!ReadRecordedDigest(L"Apexm5", L"读取配置文件失败！\r\nAppConf-apexm5", stored)) return false;
        CString expected = DecodeConfigValue(stored);
        CString actual = GetFileMd5(programPath);
        if (actual == expected) needsExtraction = false;
    }
    if (!needsExtraction) return true;

    // Missing or different: the package's copy replaces it, without a word to the user.
    CString errorText;
    if (g_runtime.ExtractFile(packagePath, kPackagePassword, kPackageInfoTable, kPackageDataTable, g_strAppDir,
                              kMainProgramFile, errorText)) {
        return true;
    }
    if (IsPackageInternalError(errorText)) {
        ShowWarningBox(L"软件加载失败！\n文件加载出错。", kLoadTitle, nullptr);
    } else if (errorText.IsEmpty()) {
        ShowWarningBox(L"软件加载失败！\n请重试。", L"加载软件提示", nullptr);
    } else {
        ShowWarningBox(L"软件加载失败！\n" + errorText, kLoadTitle, nullptr);
    }
    return false;
}
