// The files of an installation that the launcher checks against recorded digests, one row
// each, in the order the checks take them. Expanded by util/VerifiedFiles.h; CMake reads
// the component rows too (cmake/VerifiedFiles.cmake), to fix their digests at build time.
//
// VELMORA_VERIFIED_FILE(id, file name, role,
//                       key of AppConf.ini holding its digest (nullptr: fixed when the launcher is built),
//                       message when AppConf.ini does not record it,
//                       message when it is missing, message when it is not the recorded file)
// Keep the id, the name and the role on the first line of a row.

VELMORA_VERIFIED_FILE(Package, L"Kestpak.da", Package,
                      L"Apdbm5", L"加载配置文件失败！\r\nAppConf-apdbm5",
                      kDamagedPackageText, kDamagedPackageText)

VELMORA_VERIFIED_FILE(ComponentLib, L"CsBrevinLab.dll", Component,
                      nullptr, nullptr,
                      L"缺少clab库文件，请使用软件安装包修复软件！", L"运行组件文件错误：CsLab校验失败。")

VELMORA_VERIFIED_FILE(ComponentApi, L"CsBrevinApi.dll", Component,
                      nullptr, nullptr,
                      L"缺少capi库文件，请使用软件安装包修复软件！", L"运行组件文件错误：CsApi校验失败。")

// A main program that is missing or differs is extracted again without a word; the
// messages are for an extraction that leaves no file or not the recorded one.
VELMORA_VERIFIED_FILE(MainProgram, L"Kestrun.exe", MainProgram,
                      L"Apexm5", L"读取配置文件失败！\r\nAppConf-apexm5",
                      L"软件加载失败，未找到加载文件，请重试。", kDamagedPackageText)
