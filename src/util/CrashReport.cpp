// The launcher's half of the crash reports: the handler started at start-up, and what the
// crashed thread does. The handler's half is in CrashHandler.cpp.
#include "util/CrashReport.h"

#include <algorithm>
#include <exception>
#include <memory>
#include <new>
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
    CrashChannel* channel;  // shared with the handler; null when there is none
    HANDLE starter;         // the thread that starts the handler; ended once it succeeded or failed
    HANDLE handler;         // the handler's process, once started (set before `starter` ends)
    DWORD handlerError;     // why there is no handler (set before `starter` ends)
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

// What the thread that starts the handler owns while it does.
struct HandlerStart {
    UniqueHandle mapping;
    UniqueHandle launcher;
    HANDLE crashed;
    HANDLE reported;
};

// Under Wine, creating a process waits until the new one has loaded its libraries: the
// handler is started beside the launcher's own start-up, not in its way. The component's
// code runs only once this thread has ended (AwaitCrashHandler), so that no lock a crash
// there holds can keep the handler from starting.
DWORD WINAPI StartHandlerThread(void* parameter) {
    std::unique_ptr<HandlerStart> start(static_cast<HandlerStart*>(parameter));
    const HANDLE inherited[4] = {start->mapping.get(), start->launcher.get(), start->crashed, start->reported};
    DWORD error = ERROR_SUCCESS;
    UniqueHandle handler = StartHandlerProcess(start->mapping.get(), inherited, error);
    g_crash.handlerError = error;
    g_crash.handler = handler.release();
    return 0;
}

// The shared block and the events, and a thread that starts the handler; on success they
// stay for the life of the process.
void StartHandler() {
    auto start = std::unique_ptr<HandlerStart>(new (std::nothrow) HandlerStart());
    if (!start) {
        g_crash.handlerError = ERROR_NOT_ENOUGH_MEMORY;
        return;
    }
    start->mapping.reset(
        CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(CrashChannel), nullptr));
    UniqueMappedView view(start->mapping ? MapViewOfFile(start->mapping.get(), FILE_MAP_WRITE, 0, 0,
                                                         sizeof(CrashChannel))
                                         : nullptr);
    UniqueHandle crashed(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    UniqueHandle reported(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    DuplicateHandle(GetCurrentProcess(), GetCurrentProcess(), GetCurrentProcess(), start->launcher.put(),
                    kLauncherAccess, FALSE, 0);
    if (!view || !crashed || !reported || !start->launcher) {
        g_crash.handlerError = GetLastError();
        return;
    }
    auto* channel = static_cast<CrashChannel*>(view.get());
    channel->magic = kCrashChannelMagic;
    channel->launcherId = GetCurrentProcessId();
    channel->launcher = start->launcher.get();
    channel->crashed = crashed.get();
    channel->reported = reported.get();
    start->crashed = crashed.get();
    start->reported = reported.get();

    UniqueHandle thread(CreateThread(nullptr, 0, StartHandlerThread, start.get(), 0, nullptr));
    if (!thread) {
        g_crash.handlerError = GetLastError();
        return;
    }
    start.release();
    g_crash.starter = thread.release();
    g_crash.channel = static_cast<CrashChannel*>(view.release());
    crashed.release();
    reported.release();
}

// After the crashed thread has signalled: waits until the handler has written the dump and
// the run-log line, then for the end of the process that the handler brings after its box.
// Returns only when there will be no report, saying why.
const wchar_t* AwaitReport(DWORD code) {
    const DWORD started = GetTickCount();
    bool starterDone = false;
    for (;;) {
        const DWORD spent = GetTickCount() - started;
        if (spent >= kReportTimeoutMs) return L"the crash handler did not answer in time";
        const HANDLE waits[2] = {g_crash.channel->reported, starterDone ? g_crash.handler : g_crash.starter};
        const DWORD waited = WaitForMultipleObjects(2, waits, FALSE, kReportTimeoutMs - spent);
        if (waited == WAIT_OBJECT_0) {
            // The handler shows its box, then ends this process with the exception code.
            WaitForSingleObject(g_crash.starter, INFINITE);
            if (g_crash.handler) WaitForSingleObject(g_crash.handler, INFINITE);
            TerminateProcess(GetCurrentProcess(), code);
        }
        if (waited != WAIT_OBJECT_0 + 1) return L"the crash handler did not answer in time";
        if (starterDone) return L"the crash handler ended before it reported";
        if (!g_crash.handler) return L"the crash handler did not start";
        starterDone = true;
    }
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
    if (g_crash.handlerError != ERROR_SUCCESS) {
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
        why = AwaitReport(code);
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

void AwaitCrashHandler() {
    if (g_crash.starter) WaitForSingleObject(g_crash.starter, INFINITE);
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
