// Every way a step of the launcher can end, one row each, with everything the user is shown
// for it. Expanded by supervisor/LaunchOutcome.h (the status enum) and by
// supervisor/OutcomeMessages.cpp (the rows); adding an outcome is one row here.
//
// VELMORA_OUTCOME(id, box, title, text, detail, status line, page)
//   box       None, Warning (OK), YesNo or OkCancel; every box has no owner window
//   text      shown as it is, or with its one %ls filled by the detail:
//               None            nothing to fill
//               ProductName     the product's display name
//               ErrorCode       the Win32 error code, in decimal
//               SystemText      the system's text for the error, naming the outcome's text as its
//                               file; a text that mentions the launcher's folder or the main program
//                               is replaced by a neutral reason
//               Text            the outcome's text (the component's, an exception's) as it is
//               TextPathsHidden the outcome's text, with the same neutral reason for paths
//               FileName        the verified file's name
//               FileMissing / FileUnrecorded / FileDifferent
//                               the verified file's own message for that case (its row in
//                               util/VerifiedFileList.h)
//   status    the status line the start sequence leaves when it stops with this outcome
//             (nullptr: the outcome never stops it)
//   page      opened once the box is closed: VcRedist after a warning, NetFx4 / VcRedist after
//             the answer No; SoftList (the product website's download list) only after the
//             start sequence stopped with the outcome
//
// Keep the id, the box and the title on the first line of a row.

#define VELMORA_LOAD_TITLE L"软件加载提示"
#define VELMORA_DATA_FILE_STATUS L"数据文件错误，请下载完整安装包修复。"

VELMORA_OUTCOME(Ok, None, nullptr,
                nullptr, None, nullptr, None)
// The user ended the launcher while it waited; nothing to say.
VELMORA_OUTCOME(Abandoned, None, nullptr,
                nullptr, None, nullptr, None)

// Start-up, before the splash window.
VELMORA_OUTCOME(AnotherCopyRuns, Warning, L"重复打开软件提示",
                L"%ls已经在运行中！\n请在电脑任务栏查找软件图标打开主界面！", ProductName, nullptr, None)
VELMORA_OUTCOME(NetFx4Missing, YesNo, L"运行环境检测提示",
                L"电脑上可能缺少.Net Framework4.0 运行环境，请进入微软官网下载安装.Net Framework4.0或以上版本后再尝试运行本软件！\n是否继续？",
                None, nullptr, NetFx4)
VELMORA_OUTCOME(VcRuntimeMissing, YesNo, L"运行环境检测提示",
                L"本机Windows操作系统缺少微软 VC++2015运行库，软件可能无法正确加载，建议安装后再打开软件！\n是否继续？",
                None, nullptr, VcRedist)
VELMORA_OUTCOME(InstallationOnDesktop, Warning, L"初始化提示",
                L"软件不可直接安装在电脑桌面！\n请卸载后重新安装！", None, nullptr, None)
VELMORA_OUTCOME(RuntimeFileMissing, Warning, L"初始化提示",
                L"缺少运行文件！\n请正确安装软件后再打开软件。", None, nullptr, None)
// The folder's path leaves no room for the names of the installation's files.
VELMORA_OUTCOME(InstallationPathTooLong, Warning, L"初始化提示",
                L"软件安装路径过长，无法找到软件文件！\n请将软件安装到路径较短的文件夹中。", None, nullptr, None)

// Loading the runtime component.
VELMORA_OUTCOME(ComponentFileMissing, Warning, L"初始化提示",
                L"%ls", FileMissing, nullptr, None)
// Not the shipped file: never loaded, and named later among the data files.
VELMORA_OUTCOME(ComponentNotShipped, None, nullptr,
                nullptr, None, nullptr, None)
// Error 126: the library, or one it needs (the VC++ runtime), is missing.
VELMORA_OUTCOME(ComponentNeedsVcRuntime, Warning, L"运行环境检测提示",
                L"本机Windows操作系统缺少微软VC++运行库，软件无法正常加载，请下载安装VC++运行库后再打开软件！\n如果下载或安装失败，请咨询软件服务人员。",
                None, nullptr, VcRedist)
VELMORA_OUTCOME(ComponentLoadFailed, Warning, L"初始化提示",
                L"运行库加载失败，错误码：%ls", ErrorCode, nullptr, None)
VELMORA_OUTCOME(ComponentFactoryMissing, Warning, L"初始化提示",
                L"运行库加载失败：未能找到方法。", None, nullptr, None)
VELMORA_OUTCOME(ComponentFactoryFailed, Warning, L"初始化提示",
                L"运行库加载失败：加载内部方法失败。", None, nullptr, None)

// The start sequence and the launch.
VELMORA_OUTCOME(RuntimeMissingAtStart, Warning, L"初始化提示",
                L"运行库加载失败，请尝试重启软件...", None, L"运行库加载失败，请尝试重启软件...", None)
VELMORA_OUTCOME(RuntimeMissingAtLaunch, Warning, L"加载软件提示",
                L"软件启动失败！\n软件运行库未成功加载。", None, nullptr, None)
// AppConf.ini cannot be read or does not record the file.
VELMORA_OUTCOME(DigestUnrecorded, Warning, VELMORA_LOAD_TITLE,
                L"%ls", FileUnrecorded, VELMORA_DATA_FILE_STATUS, SoftList)
// Not the recorded file (also missing or unreadable).
VELMORA_OUTCOME(FileDiffers, Warning, VELMORA_LOAD_TITLE,
                L"%ls", FileDifferent, VELMORA_DATA_FILE_STATUS, SoftList)
// Another program holds the file (open for writing, or a locked range) past a short wait:
// the file may well be whole, so no download is offered.
VELMORA_OUTCOME(FileBusy, Warning, VELMORA_LOAD_TITLE,
                L"数据文件正被其他程序占用：%ls\n请关闭占用该文件的程序后重启软件。", FileName,
                L"数据文件正被其他程序占用，请关闭该程序后重启软件。", None)
// The component's extraction failed: with a text about the package's inner workings (never
// shown as it is), without a text, or with one.
VELMORA_OUTCOME(ExtractionFailedInternal, Warning, VELMORA_LOAD_TITLE,
                L"软件加载失败！\n文件加载出错。", None, nullptr, None)
VELMORA_OUTCOME(ExtractionFailedSilently, Warning, L"加载软件提示",
                L"软件加载失败！\n请重试。", None, nullptr, None)
VELMORA_OUTCOME(ExtractionFailed, Warning, VELMORA_LOAD_TITLE,
                L"软件加载失败！\n%ls", Text, nullptr, None)
// The package's own copy of the main program is not the recorded program.
VELMORA_OUTCOME(ExtractedProgramDiffers, Warning, VELMORA_LOAD_TITLE,
                L"%ls", FileDifferent, nullptr, None)
VELMORA_OUTCOME(RenameFailed, Warning, VELMORA_LOAD_TITLE,
                L"加载文件重命名失败！\n%ls", SystemText, nullptr, None)
// The main program must be renamed or written in a folder that cannot be written. Run once
// as administrator, the launcher would move the file back at the end, and the next run
// would meet the same folder again.
VELMORA_OUTCOME(InstallationReadOnly, Warning, VELMORA_LOAD_TITLE,
                L"软件加载失败！\n软件安装文件夹无法写入。\n"
                L"请将软件重新安装到当前用户可以写入的文件夹，或请管理员为此文件夹开放写入权限。\n"
                L"以管理员身份运行一次不能解决此问题。", None, nullptr, None)
VELMORA_OUTCOME(FolderNameUnreadable, Warning, VELMORA_LOAD_TITLE,
                L"软件加载失败！\n软件安装文件夹的名称含有运行组件无法识别的字符。\n"
                L"请将软件安装到名称只含中文、英文字母和数字的文件夹中。", None, nullptr, None)
VELMORA_OUTCOME(ProgramMissing, Warning, L"加载软件提示",
                L"%ls", FileMissing, nullptr, None)
VELMORA_OUTCOME(StartFailed, Warning, VELMORA_LOAD_TITLE,
                L"加载失败！\n%ls", SystemText, nullptr, None)
VELMORA_OUTCOME(Exception, Warning, VELMORA_LOAD_TITLE,
                L"加载失败！\n%ls", TextPathsHidden, nullptr, None)

// After the main program's run.
VELMORA_OUTCOME(BadArguments, Warning, L"错误提示",
                L"运行参数错误。", None, nullptr, None)
// The launcher could not start itself again when the main program asked for it.
VELMORA_OUTCOME(RestartFailed, Warning, VELMORA_LOAD_TITLE,
                L"软件重新启动失败，请手动打开软件。\n%ls", SystemText, nullptr, None)
VELMORA_OUTCOME(UpdaterMissing, Warning, L"软件升级提示",
                L"升级程序加载失败！\n文件丢失。", None, nullptr, None)
VELMORA_OUTCOME(UpdaterStartFailed, Warning, L"软件升级提示",
                L"升级程序加载失败！\n%ls", SystemText, nullptr, None)

// The splash window.
VELMORA_OUTCOME(ServiceWindowOpen, Warning, L"重复打开在线客服窗口提示",
                L"会话窗口已打开，请不要重复打开！", None, nullptr, None)
VELMORA_OUTCOME(ServiceWindowStartFailed, Warning, VELMORA_LOAD_TITLE,
                L"加载失败！\n请尝试重启软件！", None, nullptr, None)
VELMORA_OUTCOME(ServiceWindowException, Warning, VELMORA_LOAD_TITLE,
                L"加载失败！\n%ls", Text, nullptr, None)
VELMORA_OUTCOME(CloseQuestion, OkCancel, L"退出软件提示",
                L"确定关闭软件吗？", None, nullptr, None)

#undef VELMORA_LOAD_TITLE
#undef VELMORA_DATA_FILE_STATUS
