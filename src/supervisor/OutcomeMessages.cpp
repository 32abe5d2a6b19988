#include "supervisor/OutcomeMessages.h"

#include "supervisor/ErrorText.h"
#include "util/InstallationNames.h"
#include "util/MessageBox.h"

namespace {
const wchar_t kLoadTitle[] = L"软件加载提示";
const wchar_t kLoadSoftwareTitle[] = L"加载软件提示";
const wchar_t kInitTitle[] = L"初始化提示";
const wchar_t kRuntimeMissingText[] = L"运行库加载失败，请尝试重启软件...";
const wchar_t kPackageDamagedText[] =
    L"数据文件错误，请重启软件后再尝试。\n若重启软件后仍无法正常加载，请进入网站下载完整安装包重装或修复软件。";

OutcomeMessage Box(const wchar_t* title, const CString& text) { return OutcomeMessage{title, text}; }

OutcomeMessage ExtractionMessage(const CString& errorText) {
    if (IsPackageInternalError(errorText)) return Box(kLoadTitle, L"软件加载失败！\n文件加载出错。");
    if (errorText.IsEmpty()) return Box(kLoadSoftwareTitle, L"软件加载失败！\n请重试。");
    return Box(kLoadTitle, L"软件加载失败！\n" + errorText);
}
}  // namespace

bool IsPackageInternalError(const CString& errorText) {
    const CString markers[] = {L"no such", L"unrecognized token", L"sql",
                               kPackagePassword, kPackageInfoTable, kPackageDataTable};
    for (const CString& marker : markers) {
        if (!marker.IsEmpty() && errorText.Find(marker) >= 0) return true;
    }
    return false;
}

OutcomeMessage MessageFor(const LaunchOutcome& outcome, const CString& appDir) {
    switch (outcome.status) {
    case LaunchStatus::Ok:
    case LaunchStatus::Abandoned:
        return OutcomeMessage();
    case LaunchStatus::RuntimeMissingAtStart:
        return Box(kInitTitle, kRuntimeMissingText);
    case LaunchStatus::RuntimeMissingAtLaunch:
        return Box(kLoadSoftwareTitle, L"软件启动失败！\n软件运行库未成功加载。");
    case LaunchStatus::PackageDigestUnrecorded:
        return Box(kLoadTitle, L"加载配置文件失败！\r\nAppConf-apdbm5");
    case LaunchStatus::PackageDiffers:
    case LaunchStatus::ExtractedProgramDiffers:
        return Box(kLoadTitle, kPackageDamagedText);
    case LaunchStatus::ComponentLibDiffers:
        return Box(kLoadTitle, L"运行组件文件错误：CsLab校验失败。");
    case LaunchStatus::ComponentApiDiffers:
        return Box(kLoadTitle, L"运行组件文件错误：CsApi校验失败。");
    case LaunchStatus::ProgramDigestUnrecorded:
        return Box(kLoadTitle, L"读取配置文件失败！\r\nAppConf-apexm5");
    case LaunchStatus::ExtractionFailed:
        return ExtractionMessage(outcome.text);
    case LaunchStatus::RenameFailed:
        return Box(kLoadTitle, L"加载文件重命名失败！\n" +
                                   HidePathsInErrorText(SystemErrorText(outcome.error), appDir));
    case LaunchStatus::InstallationReadOnly:
        // Run once as administrator, the launcher would move the file back at the end, and
        // the next run would meet the same folder again.
        return Box(kLoadTitle, L"软件加载失败！\n软件安装文件夹无法写入。\n"
                               L"请将软件重新安装到当前用户可以写入的文件夹，或请管理员为此文件夹开放写入权限。\n"
                               L"以管理员身份运行一次不能解决此问题。");
    case LaunchStatus::FolderNameUnreadable:
        return Box(kLoadTitle, L"软件加载失败！\n软件安装文件夹的名称含有运行组件无法识别的字符。\n"
                               L"请将软件安装到名称只含中文、英文字母和数字的文件夹中。");
    case LaunchStatus::ProgramMissing:
        return Box(kLoadSoftwareTitle, L"软件加载失败，未找到加载文件，请重试。");
    case LaunchStatus::StartFailed:
        return Box(kLoadTitle,
                   L"加载失败！\n" + HidePathsInErrorText(SystemErrorText(outcome.error, kMainProgramFile), appDir));
    case LaunchStatus::Exception:
        return Box(kLoadTitle, L"加载失败！\n" + HidePathsInErrorText(outcome.text, appDir));
    }
    return OutcomeMessage();
}

CString StatusTextFor(const LaunchOutcome& outcome) {
    if (outcome.status == LaunchStatus::RuntimeMissingAtStart) return kRuntimeMissingText;
    return L"数据文件错误，请下载完整安装包修复。";
}

void PresentOutcome(const LaunchOutcome& outcome, const CString& appDir) {
    OutcomeMessage message = MessageFor(outcome, appDir);
    if (!message.text.IsEmpty()) ShowWarningBox(message.text, message.title, nullptr);
}
