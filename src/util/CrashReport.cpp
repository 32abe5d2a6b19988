#include "util/CrashReport.h"

#include <dbghelp.h>

#include <algorithm>
#include <exception>
#include <new>
#include <vector>

#include "BuildSettings.h"
#include "framework/Handles.h"
#include "framework/Presenters.h"
#include "util/FileHelpers.h"
#include "util/FixedText.h"
#include "util/InstallationNames.h"
#include "util/RunLog.h"

namespace {

// Bound on writing the dump and the log line. Normally well under a second; when it takes
// longer, the dump waits for something the crashed thread holds and will never finish.
const DWORD kReportTimeoutMs = 30000;
// The stacks of every thread, the modules, and the modules' global data.
const MINIDUMP_TYPE kDumpType =
    static_cast<MINIDUMP_TYPE>(MiniDumpWithDataSegs | MiniDumpWithUnloadedModules | MiniDumpWithThreadInfo);

const wchar_t kBoxTitle[] = L"错误提示";

typedef BOOL(WINAPI* MiniDumpWriteDumpFn)(HANDLE, DWORD, HANDLE, MINIDUMP_TYPE, PMINIDUMP_EXCEPTION_INFORMATION,
                                          PMINIDUMP_USER_STREAM_INFORMATION, PMINIDUMP_CALLBACK_INFORMATION);

// Everything the report needs once a crash has happened, made ready before. It lives as
// long as the process (never destroyed), so that a crash while the process ends is
// reported too.
struct Reporter {
    UniqueHandle crashed;   // set by the crashed thread once it has filled in the crash
    UniqueHandle reported;  // set by the reporting thread once the dump and the line are written
    UniqueHandle thread;
    DWORD threadId = 0;
    UniqueModule dbghelp;
    MiniDumpWriteDumpFn writeDump = nullptr;
    wchar_t folder[MAX_PATH] = {};
    wchar_t logPath[MAX_PATH] = {};

    volatile LONG entered = 0;
    EXCEPTION_POINTERS* exception = nullptr;
    DWORD code = 0;
    DWORD crashedThreadId = 0;
    wchar_t dumpPath[MAX_PATH] = {};
};

Reporter* g_reporter = nullptr;

void CopyPath(const CString& path, wchar_t (&out)[MAX_PATH]) {
    out[0] = 0;
    if (path.GetLength() < MAX_PATH) FixedText(out) << path.GetString();
}

// dbghelp.dll by its full path in the system folder: never a copy beside the launcher or
// in the current directory. Its own dependencies are searched from there too. Loaded only
// for a dump: loaded at start-up, it would hold the loader's lock just when the launcher's
// own thread loads the component. Writing the dump needs that lock anyway, so loading it
// earlier would not help a crash that holds it.
void LoadDbgHelp(Reporter& r) {
    wchar_t system[MAX_PATH] = {};
    const UINT length = GetSystemDirectoryW(system, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return;
    wchar_t path[MAX_PATH + 16];
    FixedText(path) << system << L"\\dbghelp.dll";
    r.dbghelp.reset(LoadLibraryExW(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
    if (r.dbghelp) {
        r.writeDump = reinterpret_cast<MiniDumpWriteDumpFn>(
            reinterpret_cast<void*>(GetProcAddress(r.dbghelp.get(), "MiniDumpWriteDump")));
    }
}

// "<folder>\Velmora-1.0.0.3-20261209-215953-1234.dmp"
void NameDump(Reporter& r) {
    SYSTEMTIME now;
    GetLocalTime(&now);
    FixedText name(r.dumpPath);
    name << r.folder << L"\\" << kProductName.GetString() << L"-" << VELMORA_FILE_VERSION_W << L"-";
    name.Number(now.wYear, 4).Number(now.wMonth, 2).Number(now.wDay, 2) << L"-";
    name.Number(now.wHour, 2).Number(now.wMinute, 2).Number(now.wSecond, 2) << L"-";
    name.Number(GetCurrentProcessId()) << L".dmp";
}

// Writes the dump to a new dumpPath: ERROR_SUCCESS, or why not (dumpPath is then empty).
DWORD WriteDump(Reporter& r) {
    if (!r.folder[0]) return ERROR_PATH_NOT_FOUND;  // never a dump in whatever the current folder is
    NameDump(r);
    CreateDirectoryW(r.folder, nullptr);
    LoadDbgHelp(r);
    DWORD error = ERROR_PROC_NOT_FOUND;  // dbghelp.dll or its function is missing
    {
        UniqueFile file(CreateFileW(r.dumpPath, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                    nullptr));
        MINIDUMP_EXCEPTION_INFORMATION info = {r.crashedThreadId, r.exception, FALSE};
        if (!file) {
            error = GetLastError();
        } else if (r.writeDump) {
            const BOOL written =
                r.writeDump(GetCurrentProcess(), GetCurrentProcessId(), file.get(), kDumpType, &info, nullptr, nullptr);
            error = written ? ERROR_SUCCESS : GetLastError();
        }
    }
    if (error != ERROR_SUCCESS) {
        DeleteFileW(r.dumpPath);
        r.dumpPath[0] = 0;
    }
    return error;
}

// "crash: exception 0xC0000005 at 0x1000101F on thread 404; report written to <dump>"
void NoteCrash(const Reporter& r, DWORD dumpError) {
    wchar_t text[MAX_PATH + 160];
    FixedText line(text);
    line << L"crash: exception ";
    line.Hex(r.code) << L" at ";
    line.Hex(static_cast<unsigned long>(reinterpret_cast<ULONG_PTR>(r.exception->ExceptionRecord->ExceptionAddress)))
        << L" on thread ";
    line.Number(r.crashedThreadId);
    if (dumpError == ERROR_SUCCESS) {
        line << L"; report written to " << r.dumpPath;
    } else {
        line << L"; no report could be written (error ";
        line.Number(dumpError) << L")";
    }
    AppendRunLogLineUnlocked(r.logPath, text);
}

void ShowCrashBox(const Reporter& r) {
    wchar_t text[MAX_PATH + 80];
    FixedText box(text);
    box << kProductName.GetString() << L" 启动程序意外停止运行。\n";
    if (r.dumpPath[0]) {
        box << L"错误报告已保存在：\n" << r.dumpPath << L"\n请将此文件发送给客服人员。";
    } else {
        box << L"错误报告未能保存。";
    }
    // The presenter directly: the usual box helpers take strings that allocate.
    MessageBoxPresenter().Show(nullptr, text, kBoxTitle, MB_OK | MB_ICONWARNING);
}

DWORD WINAPI ReporterThread(void* parameter) {
    Reporter& r = *static_cast<Reporter*>(parameter);
    CopyPath(CrashReportFolder(), r.folder);
    CopyPath(RunLogPath(), r.logPath);
    PruneCrashReports(r.folder, kKeptCrashReports - 1);  // room for one more

    if (WaitForSingleObject(r.crashed.get(), INFINITE) != WAIT_OBJECT_0) return 0;
    NoteCrash(r, WriteDump(r));
    SetEvent(r.reported.get());
    ShowCrashBox(r);
    TerminateProcess(GetCurrentProcess(), r.code);
    return 0;
}

LONG WINAPI OnUnhandledException(EXCEPTION_POINTERS* exception) {
    Reporter& r = *g_reporter;
    const DWORD code = exception->ExceptionRecord->ExceptionCode;
    if (InterlockedCompareExchange(&r.entered, 1, 0) != 0) {
        // A crash while another is being reported: that report stands. When the reporting
        // thread itself crashed it can do no more, and the process ends now; any other
        // thread waits for the end that the report brings.
        if (GetCurrentThreadId() == r.threadId) TerminateProcess(GetCurrentProcess(), r.code ? r.code : code);
        for (;;) Sleep(INFINITE);
    }
    if (GetCurrentThreadId() == r.threadId) TerminateProcess(GetCurrentProcess(), code);
    r.exception = exception;
    r.code = code;
    r.crashedThreadId = GetCurrentThreadId();
    SetEvent(r.crashed.get());
    // The reporting thread shows the box and ends the process; this thread only waits, and
    // ends the process itself when the dump cannot be finished.
    if (WaitForSingleObject(r.reported.get(), kReportTimeoutMs) == WAIT_OBJECT_0) {
        WaitForSingleObject(r.thread.get(), INFINITE);
    }
    TerminateProcess(GetCurrentProcess(), code);
    return EXCEPTION_EXECUTE_HANDLER;
}

// std::terminate, for a C++ exception that nothing caught: raised as an exception of its
// own, so that it is reported like any other.
[[noreturn]] void OnTerminate() {
    RaiseException(kUncaughtCppException, EXCEPTION_NONCONTINUABLE, 0, nullptr);
    TerminateProcess(GetCurrentProcess(), kUncaughtCppException);
    for (;;) Sleep(INFINITE);
}

// A 32-bit program on 64-bit Windows loses an exception raised in a window procedure that
// the system calls from kernel mode, unless it asks to keep it; the start sequence runs in
// such a procedure (the dialog's initialisation). Systems without the functions keep it.
void KeepExceptionsOfCallbacks() {
    typedef BOOL(WINAPI * GetPolicyFn)(LPDWORD);
    typedef BOOL(WINAPI * SetPolicyFn)(DWORD);
    const DWORD kCallbackFilterEnabled = 0x1;  // PROCESS_CALLBACK_FILTER_ENABLED
    HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    auto get = reinterpret_cast<GetPolicyFn>(
        reinterpret_cast<void*>(GetProcAddress(kernel, "GetProcessUserModeExceptionPolicy")));
    auto set = reinterpret_cast<SetPolicyFn>(
        reinterpret_cast<void*>(GetProcAddress(kernel, "SetProcessUserModeExceptionPolicy")));
    DWORD flags = 0;
    if (get && set && get(&flags)) set(flags & ~kCallbackFilterEnabled);
}

}  // namespace

CString CrashReportFolder() {
    const CString support = SupportFolder();
    return support.IsEmpty() ? CString() : JoinPath(support, L"crashes");
}

void PruneCrashReports(const CString& folder, size_t keep) {
    if (folder.IsEmpty()) return;
    struct Report {
        ULONGLONG written;
        CString name;
    };
    std::vector<Report> reports;
    WIN32_FIND_DATAW found;
    UniqueFind find(FindFirstFileW(JoinPath(folder, L"*.dmp"), &found));
    if (!find) return;
    do {
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
        reports.push_back({(ULONGLONG(found.ftLastWriteTime.dwHighDateTime) << 32) | found.ftLastWriteTime.dwLowDateTime,
                           found.cFileName});
    } while (FindNextFileW(find.get(), &found));
    if (reports.size() <= keep) return;
    std::sort(reports.begin(), reports.end(), [](const Report& a, const Report& b) { return a.written > b.written; });
    for (size_t i = keep; i < reports.size(); ++i) DeleteFileW(JoinPath(folder, reports[i].name));
}

void InstallCrashReporting() {
    if (g_reporter) return;
    auto* reporter = new (std::nothrow) Reporter;
    if (!reporter) return;
    reporter->crashed.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    reporter->reported.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!reporter->crashed || !reporter->reported) {
        delete reporter;
        return;
    }
    g_reporter = reporter;
    reporter->thread.reset(CreateThread(nullptr, 0, ReporterThread, reporter, 0, &reporter->threadId));
    if (!reporter->thread) return;  // no report; the system's own handling stays
    SetUnhandledExceptionFilter(OnUnhandledException);
    std::set_terminate(OnTerminate);
    KeepExceptionsOfCallbacks();
}
