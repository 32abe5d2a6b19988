// CsBrevinApi.dll: the factory CreateWrapper and the component object, built the way the
// vendor builds the real library: with the platform compiler's object ABI (clang in MSVC
// mode, linked by lld-link) and without a C runtime. Its virtual table is therefore the
// one the launcher meets in the field: ExtractFile, then a single deleting destructor.
// The package reader is CsBrevinLab.dll's (plain C exports).
//
// The library notes how its object ends and how it is let go, one line each, in
// CsBrevinApi.log beside itself:
//   "object destroyed"       the destructor ran
//   "object memory freed"    the deleting destructor was asked to free the memory (flags bit 0)
//   "library freed"          DLL_PROCESS_DETACH through FreeLibrary
//   "library released at process exit"
//
// For the launcher's crash reports, a test can make the library crash the ways a closed
// component really does: a file CsBrevinApi.crash beside it names the way, one word:
//   factory         the factory writes through a null pointer
//   extract         the extraction does
//   destructor      the object's destructor does (the launcher lets it go as it ends)
//   heap-locked     the factory takes the process heap's lock first, as a crash inside
//                   HeapAlloc or HeapFree leaves it
//   loader-locked   the factory takes the loader's lock first, as a crash inside the
//                   loader leaves it
//   stack-overflow  the factory recurses without end
//   thread          the factory starts a thread of its own, which writes through a null
//                   pointer while the factory waits for it
// Just before it crashes the library notes "crashing: <way>" in its log.
//
// Without the Windows SDK, the few kernel32 functions used are declared here; the import
// library comes from kernel32.def.
#include "LabApi.h"

typedef unsigned long DWORD;
typedef decltype(sizeof 0) SIZE_T;
typedef void* HANDLE;

extern "C" {
__declspec(dllimport) HANDLE __stdcall GetProcessHeap();
__declspec(dllimport) void* __stdcall HeapAlloc(HANDLE heap, DWORD flags, SIZE_T bytes);
__declspec(dllimport) int __stdcall HeapFree(HANDLE heap, DWORD flags, void* memory);
__declspec(dllimport) DWORD __stdcall GetModuleFileNameW(void* module, wchar_t* name, DWORD size);
__declspec(dllimport) int __stdcall DisableThreadLibraryCalls(void* module);
__declspec(dllimport) HANDLE __stdcall CreateFileW(const wchar_t* name, DWORD access, DWORD share, void* security,
                                                   DWORD disposition, DWORD attributes, HANDLE templateFile);
__declspec(dllimport) int __stdcall WriteFile(HANDLE file, const void* data, DWORD size, DWORD* written,
                                              void* overlapped);
__declspec(dllimport) int __stdcall CloseHandle(HANDLE handle);
__declspec(dllimport) int __stdcall WideCharToMultiByte(unsigned codePage, DWORD flags, const wchar_t* text,
                                                        int length, char* buffer, int size, const char* defaultChar,
                                                        int* usedDefault);
__declspec(dllimport) int __stdcall ReadFile(HANDLE file, void* data, DWORD size, DWORD* read, void* overlapped);
__declspec(dllimport) int __stdcall HeapLock(HANDLE heap);
__declspec(dllimport) void* __stdcall GetModuleHandleW(const wchar_t* name);
__declspec(dllimport) void* __stdcall GetProcAddress(void* module, const char* name);
__declspec(dllimport) HANDLE __stdcall CreateThread(void* security, SIZE_T stackSize, DWORD(__stdcall* start)(void*),
                                                    void* parameter, DWORD flags, DWORD* threadId);
__declspec(dllimport) DWORD __stdcall WaitForSingleObject(HANDLE handle, DWORD milliseconds);
}

namespace {

const DWORD kPathSize = 260;
const DWORD kFileAppendData = 0x0004;
const DWORD kShareReadWrite = 0x0001 | 0x0002;
const DWORD kOpenAlways = 4;
const DWORD kOpenExisting = 3;
const DWORD kGenericRead = 0x80000000;
const DWORD kInfinite = 0xFFFFFFFF;
const DWORD kAttributeNormal = 0x80;
const unsigned kThreadAnsiCodePage = 3;  // CP_THREAD_ACP
const HANDLE kInvalidHandle = reinterpret_cast<HANDLE>(-1);

wchar_t g_logPath[kPathSize + 32];
wchar_t g_crashSwitchPath[kPathSize + 32];

// `path` becomes the library's folder joined with `name`, or empty without a folder.
void BesideLibrary(void* module, const wchar_t* name, wchar_t* path) {
    const DWORD length = GetModuleFileNameW(module, path, kPathSize);
    if (length == 0 || length >= kPathSize) {
        path[0] = 0;
        return;
    }
    DWORD folderEnd = 0;
    for (DWORD i = 0; i < length; ++i) {
        if (path[i] == L'\\') folderEnd = i + 1;
    }
    DWORD i = 0;
    for (; name[i]; ++i) path[folderEnd + i] = name[i];
    path[folderEnd + i] = 0;
}

class CLogFile {
public:
    CLogFile()
        : m_file(g_logPath[0] ? CreateFileW(g_logPath, kFileAppendData, kShareReadWrite, nullptr, kOpenAlways,
                                            kAttributeNormal, nullptr)
                              : kInvalidHandle) {}
    ~CLogFile() {
        if (m_file != kInvalidHandle) CloseHandle(m_file);
    }
    CLogFile(const CLogFile&) = delete;
    CLogFile& operator=(const CLogFile&) = delete;

    void WriteLine(const char* text) {
        if (m_file == kInvalidHandle) return;
        DWORD length = 0;
        while (text[length]) ++length;
        DWORD written = 0;
        WriteFile(m_file, text, length, &written, nullptr);
        WriteFile(m_file, "\r\n", 2, &written, nullptr);
    }

private:
    HANDLE m_file;
};

void Note(const char* text) { CLogFile().WriteLine(text); }

// --- Crashes on request ---------------------------------------------------------------

// The word in CsBrevinApi.crash, read once: empty when there is no such file.
char g_crashWay[32];

void ReadCrashWay() {
    HANDLE file = g_crashSwitchPath[0] ? CreateFileW(g_crashSwitchPath, kGenericRead, kShareReadWrite, nullptr,
                                                     kOpenExisting, kAttributeNormal, nullptr)
                                       : kInvalidHandle;
    if (file == kInvalidHandle) return;
    DWORD read = 0;
    if (!ReadFile(file, g_crashWay, sizeof g_crashWay - 1, &read, nullptr)) read = 0;
    CloseHandle(file);
    while (read > 0 && (g_crashWay[read - 1] == '\r' || g_crashWay[read - 1] == '\n' || g_crashWay[read - 1] == ' ')) {
        --read;
    }
    g_crashWay[read] = 0;
}

bool Asked(const char* way) {
    const char* have = g_crashWay;
    while (*way && *have == *way) ++have, ++way;
    return *way == 0 && *have == 0;
}

// A null pointer and a depth the compiler cannot see through, so that the faults below
// really happen.
int* volatile g_nowhere = nullptr;
volatile unsigned g_depthLimit = 0xFFFFFFFF;

void WriteThroughNull(const char* way) {
    char line[48];
    char* end = line;
    for (const char* p = "crashing: "; *p; ++p) *end++ = *p;
    for (const char* p = way; *p && end < line + sizeof line - 1; ++p) *end++ = *p;
    *end = 0;
    Note(line);
    *g_nowhere = 1;
}

// Frames under a page each, so that every page of the stack is touched in turn and no
// stack probe (a C runtime function) is needed.
unsigned Recurse(unsigned depth) {
    volatile char frame[1024];
    frame[0] = static_cast<char>(depth);
    if (depth >= g_depthLimit) return frame[0];
    return Recurse(depth + 1) + frame[0];
}

DWORD __stdcall CrashingThread(void*) {
    WriteThroughNull("thread");
    return 0;
}

typedef long(__stdcall* LockLoaderFn)(DWORD flags, DWORD* disposition, SIZE_T* cookie);

// The ways that crash in the factory.
void CrashInFactoryWhenAsked() {
    if (Asked("factory")) WriteThroughNull("factory");
    if (Asked("heap-locked")) {
        Note("crashing: heap-locked");
        HeapLock(GetProcessHeap());
        *g_nowhere = 1;
    }
    if (Asked("loader-locked")) {
        auto lockLoader = reinterpret_cast<LockLoaderFn>(
            GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "LdrLockLoaderLock"));
        Note("crashing: loader-locked");
        SIZE_T cookie = 0;
        if (lockLoader) lockLoader(0, nullptr, &cookie);
        *g_nowhere = 1;
    }
    if (Asked("stack-overflow")) {
        Note("crashing: stack-overflow");
        Recurse(0);
    }
    if (Asked("thread")) {
        HANDLE thread = CreateThread(nullptr, 0, CrashingThread, nullptr, 0, nullptr);
        if (thread != nullptr) WaitForSingleObject(thread, kInfinite);
    }
}

// The component's class as the vendor declares it: an ordinary virtual destructor, which
// this compiler turns into one deleting-destructor slot after ExtractFile.
class IRuntimeWrapper {
public:
    virtual bool ExtractFile(const char* packagePath, const char* password, const char* infoTable,
                             const char* dataTable, const char* targetDir, const char* fileName,
                             const char** errorText) = 0;
    virtual ~IRuntimeWrapper() {}
};

// Keeps its last error text, so the pointer it hands out stays valid after the call
// returns (until the next call or the object's destruction).
class CBrevinWrapper final : public IRuntimeWrapper {
public:
    CBrevinWrapper() { m_error[0] = 0; }
    ~CBrevinWrapper() override {
        if (Asked("destructor")) WriteThroughNull("destructor");
        Note("object destroyed");
    }

    bool ExtractFile(const char* packagePath, const char* password, const char* infoTable, const char* dataTable,
                     const char* targetDir, const char* fileName, const char** errorText) override {
        if (Asked("extract")) WriteThroughNull("extract");
        const bool ok = CsLabExtractFile(packagePath, password, infoTable, dataTable, targetDir, fileName, m_error,
                                         sizeof m_error) != 0;
        if (!ok) {
            // The reader gave no reason: our own, in the caller's ANSI code page.
            if (m_error[0] == 0 &&
                WideCharToMultiByte(kThreadAnsiCodePage, 0, L"解压失败", -1, m_error, sizeof m_error, nullptr,
                                    nullptr) == 0) {
                m_error[0] = 0;
            }
            if (errorText) *errorText = m_error;
        }
        return ok;
    }

    // The object lives on the process heap, allocated and freed inside this library; a
    // null result makes the factory answer null.
    static void* operator new(SIZE_T size) noexcept { return HeapAlloc(GetProcessHeap(), 0, size); }
    static void operator delete(void* memory) noexcept {
        Note("object memory freed");
        HeapFree(GetProcessHeap(), 0, memory);
    }

private:
    char m_error[512];
};

}  // namespace

extern "C" IRuntimeWrapper* CreateWrapper() {
    CrashInFactoryWhenAsked();
    return new CBrevinWrapper;
}

extern "C" int __stdcall DllMain(void* module, DWORD reason, void* reserved) {
    const DWORD kProcessAttach = 1;
    const DWORD kProcessDetach = 0;
    if (reason == kProcessAttach) {
        DisableThreadLibraryCalls(module);
        BesideLibrary(module, L"CsBrevinApi.log", g_logPath);
        BesideLibrary(module, L"CsBrevinApi.crash", g_crashSwitchPath);
        ReadCrashWay();
    } else if (reason == kProcessDetach) {
        // A null `reserved` means FreeLibrary; otherwise the process is ending.
        Note(reserved ? "library released at process exit" : "library freed");
    }
    return 1;
}
