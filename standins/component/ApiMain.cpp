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
// For the launcher's crash reports, a test can make the library crash: with a file named
// CsBrevinApi.crash-factory beside it, the factory dereferences a null pointer; with
// CsBrevinApi.crash-extract, the extraction does.
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
__declspec(dllimport) DWORD __stdcall GetFileAttributesW(const wchar_t* name);
__declspec(dllimport) HANDLE __stdcall CreateFileW(const wchar_t* name, DWORD access, DWORD share, void* security,
                                                   DWORD disposition, DWORD attributes, HANDLE templateFile);
__declspec(dllimport) int __stdcall WriteFile(HANDLE file, const void* data, DWORD size, DWORD* written,
                                              void* overlapped);
__declspec(dllimport) int __stdcall CloseHandle(HANDLE handle);
__declspec(dllimport) int __stdcall WideCharToMultiByte(unsigned codePage, DWORD flags, const wchar_t* text,
                                                        int length, char* buffer, int size, const char* defaultChar,
                                                        int* usedDefault);
}

namespace {

const DWORD kPathSize = 260;
const DWORD kFileAppendData = 0x0004;
const DWORD kShareReadWrite = 0x0001 | 0x0002;
const DWORD kOpenAlways = 4;
const DWORD kAttributeNormal = 0x80;
const unsigned kThreadAnsiCodePage = 3;  // CP_THREAD_ACP
const HANDLE kInvalidHandle = reinterpret_cast<HANDLE>(-1);

const DWORD kNoFile = 0xFFFFFFFF;  // INVALID_FILE_ATTRIBUTES

wchar_t g_logPath[kPathSize + 32];
wchar_t g_crashInFactoryPath[kPathSize + 32];
wchar_t g_crashInExtractPath[kPathSize + 32];

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

// A null pointer the compiler cannot see through, so that the store below really happens.
int* volatile g_nowhere = nullptr;

void CrashWhenAsked(const wchar_t* switchPath) {
    if (switchPath[0] && GetFileAttributesW(switchPath) != kNoFile) *g_nowhere = 1;
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
    ~CBrevinWrapper() override { Note("object destroyed"); }

    bool ExtractFile(const char* packagePath, const char* password, const char* infoTable, const char* dataTable,
                     const char* targetDir, const char* fileName, const char** errorText) override {
        CrashWhenAsked(g_crashInExtractPath);
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
    CrashWhenAsked(g_crashInFactoryPath);
    return new CBrevinWrapper;
}

extern "C" int __stdcall DllMain(void* module, DWORD reason, void* reserved) {
    const DWORD kProcessAttach = 1;
    const DWORD kProcessDetach = 0;
    if (reason == kProcessAttach) {
        DisableThreadLibraryCalls(module);
        BesideLibrary(module, L"CsBrevinApi.log", g_logPath);
        BesideLibrary(module, L"CsBrevinApi.crash-factory", g_crashInFactoryPath);
        BesideLibrary(module, L"CsBrevinApi.crash-extract", g_crashInExtractPath);
    } else if (reason == kProcessDetach) {
        // A null `reserved` means FreeLibrary; otherwise the process is ending.
        Note(reserved ? "library released at process exit" : "library freed");
    }
    return 1;
}
