// The launcher's half of the crash reports: the handler started at start-up, and what the
// crashed thread does. The handler's half is in CrashHandler.cpp.
#include "util/CrashReport.h"

#include <algorithm>
#include <exception>
#include <vector>

#include "framework/Handles.h"
#include "util/CrashChannel.h"
#include "util/FileHelpers.h"
#include "util/FixedText.h"
#include "util/RunLog.h"

const wchar_t kCrashHandlerArgument[] = L"--crash-handler=";

namespace {

// How long the crashed thread waits for the handler's dump and run-log line: normally a
// second or two. Longer means that the handler cannot finish.
const DWORD kReportTimeoutMs = 30000;
// What the handler may do with the launcher's process: write its dump, wait for it, end it.
const DWORD kLauncherAccess = PROCESS_QUERY_INFORMATION | PROCESS_VM_READ | PROCESS_TERMINATE | SYNCHRONIZE;

// Everything the crashed thread needs, made ready at start-up. Plain data that is never
// destroyed, so that a crash while the process ends finds it as well; its handles stay
// open until the process ends.
struct CrashState {
    bool installed;
    CrashChannel* channel;  // shared with the handler; null without a handler
    HANDLE handler;         // the handler's process
    DWORD handlerError;     // why there is no handler
    HANDLE log;             // the run log, opened for appending
    volatile LONG entered;  // a crash is being reported
    DWORD crashedThreadId;
    DWORD code;
};
CrashState g_crash;

// The handles inheritable for the scope only, so that no later child of the launcher gets
// them.
class ScopedInheritable {
public:
    ScopedInheritable(const HANDLE* handles, size_t count) : m_handles(handles), m_count(count) {
        for (size_t i = 0; i < m_count; ++i) SetHandleInformation(m_handles[i], HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
    }
    ~ScopedInheritable() {
        for (size_t i = 0; i < m_count; ++i) SetHandleInformation(m_handles[i], HANDLE_FLAG_INHERIT, 0);
    }
    ScopedInheritable(const ScopedInheritable&) = delete;
    ScopedInheritable& operator=(const ScopedInheritable&) = delete;

private:
    const HANDLE* m_handles;
    size_t m_count;
};

// Starts this program as the crash handler named by `mapping`. It inherits the handles
// given and, where the system can restrict inheritance, no other.
UniqueHandle StartHandlerProcess(HANDLE mapping, const HANDLE (&inherited)[4], DWORD& error) {
    wchar_t self[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, self, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        error = length ? ERROR_FILENAME_EXCED_RANGE : GetLastError();
        return UniqueHandle();
    }
    wchar_t commandLine[MAX_PATH + 48];
    FixedText line(commandLine);
    line << L"\"" << self << L"\" " << kCrashHandlerArgument;
    line.Hex(static_cast<unsigned long>(reinterpret_cast<ULONG_PTR>(mapping)));

    SIZE_T size = 0;
    InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
    std::vector<char> buffer(size ? size : 1);
    auto* attributes = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(buffer.data());
    const bool restricted = size && InitializeProcThreadAttributeList(attributes, 1, 0, &size);
    const bool listed = restricted && UpdateProcThreadAttribute(attributes, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST,
                                                                const_cast<HANDLE*>(inherited), sizeof inherited,
                                                                nullptr, nullptr);
    STARTUPINFOEXW startup = {};
    startup.StartupInfo.cb = sizeof startup;
    startup.StartupInfo.dwFlags = STARTF_FORCEOFFFEEDBACK;  // no busy cursor for a process nobody sees
    startup.lpAttributeList = listed ? attributes : nullptr;

    UniqueProcessInformation started;
    BOOL ok;
    {
        ScopedInheritable inheritable(inherited, 4);
        ok = CreateProcessW(self, commandLine, nullptr, nullptr, TRUE, listed ? EXTENDED_STARTUPINFO_PRESENT : 0,
                            nullptr, nullptr, &startup.StartupInfo, started.put());
    }
    error = ok ? ERROR_SUCCESS : GetLastError();
    if (restricted) DeleteProcThreadAttributeList(attributes);
    if (!ok) return UniqueHandle();
    HANDLE process = nullptr;
    DuplicateHandle(GetCurrentProcess(), started.process(), GetCurrentProcess(), &process, SYNCHRONIZE, FALSE, 0);
    return UniqueHandle(process);
}

// The shared block, the events and the handler; on success they stay for the life of the
// process.
void StartHandler() {
    UniqueHandle mapping(
        CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(CrashChannel), nullptr));
    UniqueMappedView view(mapping ? MapViewOfFile(mapping.get(), FILE_MAP_WRITE, 0, 0, sizeof(CrashChannel))
                                  : nullptr);
    UniqueHandle crashed(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    UniqueHandle reported(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    UniqueHandle launcher;
    DuplicateHandle(GetCurrentProcess(), GetCurrentProcess(), GetCurrentProcess(), launcher.put(), kLauncherAccess,
                    FALSE, 0);
    if (!view || !crashed || !reported || !launcher) {
        g_crash.handlerError = GetLastError();
        return;
    }
    auto* channel = static_cast<CrashChannel*>(view.get());
    channel->magic = kCrashChannelMagic;
    channel->launcherId = GetCurrentProcessId();
    channel->launcher = launcher.get();
    channel->crashed = crashed.get();
    channel->reported = reported.get();

    const HANDLE inherited[4] = {mapping.get(), launcher.get(), crashed.get(), reported.get()};
    UniqueHandle handler = StartHandlerProcess(mapping.get(), inherited, g_crash.handlerError);
    if (!handler) return;
    g_crash.channel = static_cast<CrashChannel*>(view.release());
    g_crash.handler = handler.release();
    crashed.release();
    reported.release();
}

// "crash: exception 0xC0000005 at 0x1000101F on thread 404; no report could be written
// (<why>)", written by the crashed thread itself: no lock, no heap.
void NoteCrashWithoutReport(const EXCEPTION_RECORD& record, const wchar_t* why) {
    wchar_t text[256];
    FixedText line(text);
    line << L"crash: exception ";
    line.Hex(record.ExceptionCode) << L" at ";
    line.Hex(static_cast<unsigned long>(reinterpret_cast<ULONG_PTR>(record.ExceptionAddress))) << L" on thread ";
    line.Number(GetCurrentThreadId()) << L"; no report could be written (" << why;
    if (!g_crash.channel) {
        line << L", error ";
        line.Number(g_crash.handlerError);
    }
    line << L")";
    AppendRunLogLine(g_crash.log, text);
}

LONG WINAPI OnUnhandledException(EXCEPTION_POINTERS* exception) {
    const DWORD code = exception->ExceptionRecord->ExceptionCode;
    if (InterlockedCompareExchange(&g_crash.entered, 1, 0) != 0) {
        // A crash while another is being reported: that report stands and ends the
        // process. When the reporting thread itself crashed, it can do no more.
        if (g_crash.crashedThreadId == GetCurrentThreadId()) TerminateProcess(GetCurrentProcess(), g_crash.code);
        for (;;) Sleep(INFINITE);
    }
    g_crash.crashedThreadId = GetCurrentThreadId();
    g_crash.code = code;

    const wchar_t* why = L"the crash handler did not start";
    if (CrashChannel* channel = g_crash.channel) {
        channel->code = code;
        channel->threadId = GetCurrentThreadId();
        channel->address = reinterpret_cast<ULONG_PTR>(exception->ExceptionRecord->ExceptionAddress);
        channel->pointers = reinterpret_cast<ULONG_PTR>(exception);
        SetEvent(channel->crashed);
        const HANDLE waits[2] = {channel->reported, g_crash.handler};
        const DWORD waited = WaitForMultipleObjects(2, waits, FALSE, kReportTimeoutMs);
        if (waited == WAIT_OBJECT_0) {
            // The handler shows the box, then ends this process with the exception code.
            WaitForSingleObject(g_crash.handler, INFINITE);
            TerminateProcess(GetCurrentProcess(), code);
        }
        why = waited == WAIT_OBJECT_0 + 1 ? L"the crash handler ended before it reported"
                                          : L"the crash handler did not answer in time";
    }
    NoteCrashWithoutReport(*exception->ExceptionRecord, why);
    return EXCEPTION_CONTINUE_SEARCH;
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
    if (g_crash.installed) return;
    g_crash.installed = true;
    g_crash.log = OpenRunLogForAppending().release();
    StartHandler();
    SetUnhandledExceptionFilter(OnUnhandledException);
    std::set_terminate(OnTerminate);
    KeepExceptionsOfCallbacks();
}
