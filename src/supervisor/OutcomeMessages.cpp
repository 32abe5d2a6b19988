#include "supervisor/OutcomeMessages.h"

#include "supervisor/ErrorText.h"
#include "util/InstallationNames.h"
#include "util/MessageBox.h"

const CString kVcRedistDownloadPage = L"https://aka.ms/vs/17/release/vc_redist.x86.exe";

namespace {
const wchar_t kLoadTitle[] = L"软件加载提示";
const wchar_t kLoadSoftwareTitle[] = L"加载软件提示";
const wchar_t kInitTitle[] = L"初始化提示";
const wchar_t kUpdaterTitle[] = L"软件升级提示";
const wchar_t kRuntimeMissingText[] = L"运行库加载失败，请尝试重启软件...";

OutcomeMessage Box(const wchar_t* title, const CString& text) { return OutcomeMessage{title, text, CString()}; }

OutcomeMessage ExtractionMessage(const CString& errorText) {
    if (IsPackageInternalError(errorText)) return Box(kLoadTitle, L"软件加载失败！\n文件加载出错。");
    if (errorText.IsEmpty()) return Box(kLoadSoftwareTitle, L"软件加载失败！\n请重试。");
    return Box(kLoadTitle, L"软件加载失败！\n" + errorText);
}

// Error 126: the library, or one it needs (the VC++ runtime), is missing.
OutcomeMessage ComponentLoadMessage(DWORD error) {
    if (error == ERROR_MOD_NOT_FOUND) {
        return OutcomeMessage{L"运行环境检测提示",
                              L"本机Windows操作系统缺少微软VC++运行库，软件无法正常加载，请下载安装VC++运行库后再打开软件！\n"
                              L"如果下载或安装失败，请咨询软件服务人员。",
                              kVcRedistDownloadPage};
    }
    CString text;
    text.Format(L"运行库加载失败，错误码：%u", static_cast<unsigned>(error));
    return Box(kInitTitle, text);
}

// Messages for the files of the table: their texts stand in their rows.
OutcomeMessage FileMessage(const LaunchOutcome& outcome) {
    const VerifiedFile& file = *outcome.file;
    switch (outcome.status) {
    case LaunchStatus::ComponentFileMissing:
        return Box(kInitTitle, file.missingText);
    case LaunchStatus::DigestUnrecorded:
        return Box(kLoadTitle, file.unrecordedText);
    case LaunchStatus::FileDiffers:
        return Box(kLoadTitle, file.differentText);
    default:  // FileBusy
        return Box(kLoadTitle, CString(L"数据文件正被其他程序占用：") + file.name + L"\n请关闭占用该文件的程序后重启软件。");
    }
}

// After the main program's run and from the splash window's links.
OutcomeMessage HandOffMessage(const LaunchOutcome& outcome, const CString& appDir) {
    switch (outcome.status) {
    case LaunchStatus::BadArguments:
        return Box(L"错误提示", L"运行参数错误。");
    case LaunchStatus::UpdaterMissing:
        return Box(kUpdaterTitle, L"升级程序加载失败！\n文件丢失。");
    case LaunchStatus::UpdaterStartFailed:
        return Box(kUpdaterTitle, L"升级程序加载失败！\n" +
                                      HidePathsInErrorText(SystemErrorText(outcome.error, kUpdaterFile), appDir));
    case LaunchStatus::ServiceWindowOpen:
        return Box(L"重复打开在线客服窗口提示", L"会话窗口已打开，请不要重复打开！");
    case LaunchStatus::ServiceWindowStartFailed:
        return Box(kLoadTitle, L"加载失败！\n请尝试重启软件！");
    default:  // ServiceWindowException
        return Box(kLoadTitle, L"加载失败！\n" + outcome.text);
    }
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
    const VerifiedFile& mainProgram = VerifiedFileOf(VerifiedFileId::MainProgram);
    switch (outcome.status) {
    case LaunchStatus::Ok:
    case LaunchStatus::Abandoned:
    case LaunchStatus::ComponentNotShipped:
        return OutcomeMessage();
    case LaunchStatus::ComponentFileMissing:
    case LaunchStatus::DigestUnrecorded:
    case LaunchStatus::FileDiffers:
    case LaunchStatus::FileBusy:
        return FileMessage(outcome);
    case LaunchStatus::ComponentLoadFailed:
        return ComponentLoadMessage(outcome.error);
    case LaunchStatus::ComponentFactoryMissing:
        return Box(kInitTitle, L"运行库加载失败：未能找到方法。");
    case LaunchStatus::ComponentFactoryFailed:
        return Box(kInitTitle, L"运行库加载失败：加载内部方法失败。");
    case LaunchStatus::RuntimeMissingAtStart:
        return Box(kInitTitle, kRuntimeMissingText);
    case LaunchStatus::RuntimeMissingAtLaunch:
        return Box(kLoadSoftwareTitle, L"软件启动失败！\n软件运行库未成功加载。");
    case LaunchStatus::ExtractionFailed:
        return ExtractionMessage(outcome.text);
    case LaunchStatus::ExtractedProgramDiffers:
        return Box(kLoadTitle, mainProgram.differentText);
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
        return Box(kLoadSoftwareTitle, mainProgram.missingText);
    case LaunchStatus::StartFailed:
        return Box(kLoadTitle,
                   L"加载失败！\n" + HidePathsInErrorText(SystemErrorText(outcome.error, kMainProgramFile), appDir));
    case LaunchStatus::Exception:
        return Box(kLoadTitle, L"加载失败！\n" + HidePathsInErrorText(outcome.text, appDir));
    default:
        return HandOffMessage(outcome, appDir);
    }
}

CString StatusTextFor(const LaunchOutcome& outcome) {
    if (outcome.status == LaunchStatus::RuntimeMissingAtStart) return kRuntimeMissingText;
    return L"数据文件错误，请下载完整安装包修复。";
}

void PresentOutcome(const LaunchOutcome& outcome, const CString& appDir, IMessageBoxPresenter& boxes,
                    IWebPagePresenter& pages) {
    const OutcomeMessage message = MessageFor(outcome, appDir);
    if (!message.text.IsEmpty()) ShowWarningBoxWith(boxes, message.text, message.title);
    if (!message.page.IsEmpty()) pages.Open(message.page);
}

void PresentOutcome(const LaunchOutcome& outcome, const CString& appDir) {
    PresentOutcome(outcome, appDir, MessageBoxPresenter(), WebPagePresenter());
}
