// The crash handler's half of the crash reports: a second process of the launcher's own
// executable, started by the launcher at start-up. It waits until the launcher ends or
// crashes; after a crash it does from outside everything that needs the heap, the loader
// or dbghelp, so that no lock the crashed thread holds can stop it.
#include <windows.h>
#include <dbghelp.h>
#include <shellapi.h>

#include <cwchar>

#include "BuildSettings.h"
#include "framework/Handles.h"
#include "util/CrashChannel.h"
#include "util/CrashReport.h"
#include "util/FileHelpers.h"
#include "util/InstallationNames.h"
#include "util/MessageBox.h"
#include "util/RunLog.h"

namespace {

// The stacks of every thread, the modules, and the modules' global data.
const MINIDUMP_TYPE kDumpType =
    static_cast<MINIDUMP_TYPE>(MiniDumpWithDataSegs | MiniDumpWithUnloadedModules | MiniDumpWithThreadInfo);

typedef BOOL(WINAPI* MiniDumpWriteDumpFn)(HANDLE, DWORD, HANDLE, MINIDUMP_TYPE, PMINIDUMP_EXCEPTION_INFORMATION,
                                          PMINIDUMP_USER_STREAM_INFORMATION, PMINIDUMP_CALLBACK_INFORMATION);
typedef BOOL(WINAPI* SymInitializeWFn)(HANDLE, PCWSTR, BOOL);
typedef BOOL(WINAPI* SymCleanupFn)(HANDLE);

// The mapping handle named by a command line of exactly one argument, the handler's;
// null for any other command line.
HANDLE ChannelNamedBy(const wchar_t* commandLine) {
    int count = 0;
    UniqueLocalMem args(reinterpret_cast<HLOCAL>(CommandLineToArgvW(commandLine, &count)));
    if (!args || count != 2) return nullptr;
    const wchar_t* argument = static_cast<wchar_t**>(static_cast<void*>(args.get()))[1];
    const size_t prefix = wcslen(kCrashHandlerArgument);
    if (wcsncmp(argument, kCrashHandlerArgument, prefix) != 0) return nullptr;
    wchar_t* end = nullptr;
    const unsigned long value = wcstoul(argument + prefix, &end, 16);
    if (end == argument + prefix || *end != 0) return nullptr;
    return reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(value));
}

// dbghelp.dll by its full path in the system folder: never a copy beside the launcher or
// in the current directory.
UniqueModule LoadDbgHelp() {
    wchar_t system[MAX_PATH] = {};
    const UINT length = GetSystemDirectoryW(system, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return UniqueModule();
    return UniqueModule(LoadLibraryExW(JoinPath(system, L"dbghelp.dll"), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
}

// "Velmora-1.0.0.3-20261209-215953-1234.dmp", named after the launcher's process.
CString DumpName(DWORD launcherId) {
    SYSTEMTIME now;
    GetLocalTime(&now);
    CString name;
    name.Format(L"%ls-%ls-%04u%02u%02u-%02u%02u%02u-%lu.dmp", kProductName.GetString(), VELMORA_FILE_VERSION_W,
                now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond, launcherId);
    return name;
}

// Writes the launcher's dump to `path`: ERROR_SUCCESS, or why not.
DWORD WriteDump(const CrashChannel& channel, const CString& path) {
    UniqueModule dbghelp = LoadDbgHelp();
    auto function = [&](const char* name) {
        return dbghelp ? reinterpret_cast<void*>(GetProcAddress(dbghelp.get(), name)) : nullptr;
    };
    auto write = reinterpret_cast<MiniDumpWriteDumpFn>(function("MiniDumpWriteDump"));
    auto initialize = reinterpret_cast<SymInitializeWFn>(function("SymInitializeW"));
    auto cleanup = reinterpret_cast<SymCleanupFn>(function("SymCleanup"));
    if (!write) return ERROR_PROC_NOT_FOUND;
    UniqueFile file(CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return GetLastError();
    // The symbol handler knows the launcher before the dump is written, without loading
    // every module's symbols: a dump needs only the module list, which it reads itself.
    // Left to MiniDumpWriteDump, Wine's dbghelp loads the symbols of every module first
    // (seconds).
    const bool known = initialize && cleanup && initialize(channel.launcher, nullptr, FALSE);
    // The exception's record and context are read from the launcher's memory.
    MINIDUMP_EXCEPTION_INFORMATION exception = {channel.threadId,
                                                reinterpret_cast<EXCEPTION_POINTERS*>(channel.pointers), TRUE};
    const BOOL written = write(channel.launcher, channel.launcherId, file.get(), kDumpType, &exception, nullptr, nullptr);
    const DWORD error = written ? ERROR_SUCCESS : GetLastError();
    if (known) cleanup(channel.launcher);
    return error;
}

// The box has nobody left to tell once the launcher has ended (killed, say).
DWORD WINAPI EndWithLauncher(void* launcher) {
    WaitForSingleObject(launcher, INFINITE);
    TerminateProcess(GetCurrentProcess(), 0);
    return 0;
}

void Report(const CrashChannel& channel) {
    const CString folder = CrashReportFolder();
    CString dump;
    DWORD error = ERROR_PATH_NOT_FOUND;  // never a dump in whatever the current folder is
    if (!folder.IsEmpty()) {
        CreateDirectoryW(folder, nullptr);
        PruneCrashReports(folder, kKeptCrashReports - 1);  // room for one more
        dump = JoinPath(folder, DumpName(channel.launcherId));
        error = WriteDump(channel, dump);
        if (error != ERROR_SUCCESS) {
            DeleteFileW(dump);
            dump.Empty();
        }
    }

    // "crash: exception 0xC0000005 at 0x1000101F on thread 404; report written to <dump>"
    CString line;
    line.Format(L"crash: exception 0x%08lX at 0x%08lX on thread %lu; ", channel.code,
                static_cast<unsigned long>(channel.address), channel.threadId);
    if (error == ERROR_SUCCESS) {
        line.AppendFormat(L"report written to %ls", dump.GetString());
    } else {
        line.AppendFormat(L"no report could be written (error %lu)", error);
    }
    RunLogFor(channel.launcherId, line);
    SetEvent(channel.reported);

    if (WaitForSingleObject(channel.launcher, 0) == WAIT_TIMEOUT) {
        UniqueHandle watcher(CreateThread(nullptr, 0, EndWithLauncher, channel.launcher, 0, nullptr));
        CString text = kProductName + L" 启动程序意外停止运行。\n";
        text += dump.IsEmpty() ? CString(L"错误报告未能保存。")
                               : L"错误报告已保存在：\n" + dump + L"\n请将此文件发送给客服人员。";
        ShowWarningBox(text, L"错误提示", nullptr);
    }
    TerminateProcess(channel.launcher, channel.code);
}

}  // namespace

bool RunCrashHandlerIfAsked(const wchar_t* commandLine) {
    HANDLE mapping = ChannelNamedBy(commandLine);
    if (!mapping) return false;
    UniqueMappedView view(MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, sizeof(CrashChannel)));
    if (!view) return false;
    UniqueHandle ownMapping(mapping);
    const CrashChannel& channel = *static_cast<const CrashChannel*>(view.get());
    if (channel.magic != kCrashChannelMagic || GetProcessId(channel.launcher) != channel.launcherId) return false;

    const HANDLE waits[2] = {channel.launcher, channel.crashed};
    if (WaitForMultipleObjects(2, waits, FALSE, INFINITE) == WAIT_OBJECT_0 + 1) Report(channel);
    return true;
}
