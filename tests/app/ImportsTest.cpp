// What Velmora.exe imports, read from its import table: everything must exist on Windows 7
// SP1 without later updates, where many of the users' machines stand. Toolchains and their
// runtimes pull newer functions in unnoticed (a newer C runtime, a thread library, a DPI
// helper); the list below names those seen in that role. A single one makes the launcher
// fail to start there with a missing-entry-point box before any of its code runs.
#include <gtest/gtest.h>

#include <windows.h>

#include <cctype>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "Installation.h"
#include "framework/Handles.h"

namespace {

// Functions newer than Windows 7 SP1 that toolchains and runtimes are known to pull in:
// from Windows 8 (the loader's directory functions reached 7 only with KB2533623), 8.1
// (shcore's DPI functions) and 10 (thread names, per-window DPI, ProcessPrng of newer C++
// runtimes' random device).
const char* const kNewerThanWindows7[] = {
    "GetSystemTimePreciseAsFileTime", "SetDefaultDllDirectories", "AddDllDirectory", "RemoveDllDirectory",
    "CreateFile2", "CopyFile2", "WaitOnAddress", "WakeByAddressSingle", "WakeByAddressAll",
    "GetCurrentThreadStackLimits", "GetOverlappedResultEx", "CreateFileMappingFromApp", "PrefetchVirtualMemory",
    "GetProcessMitigationPolicy", "SetProcessMitigationPolicy", "InitializeSynchronizationBarrier",
    "EnterSynchronizationBarrier", "GetPackageFamilyName", "GetCurrentPackageId", "DiscardVirtualMemory",
    "SetProcessDpiAwareness", "GetDpiForMonitor", "SetThreadDescription", "GetThreadDescription", "GetDpiForWindow",
    "GetDpiForSystem", "GetSystemMetricsForDpi", "AdjustWindowRectExForDpi", "SetProcessDpiAwarenessContext",
    "SetThreadDpiAwarenessContext", "EnableNonClientDpiScaling", "ProcessPrng",
};

// Libraries Windows 7 does not have under these names (lower case): API sets (the
// universal C runtime's api-ms-win-crt-*, among others), the DPI library, newer C runtimes.
bool IsNewerLibrary(const std::string& dll) {
    return dll.rfind("api-ms-win-", 0) == 0 || dll.rfind("ext-ms-win-", 0) == 0 || dll == "shcore.dll" ||
           dll == "ucrtbase.dll" || dll == "vcruntime140.dll";
}

// The (library in lower case, function) pairs of a 32-bit image's import table; functions
// imported by ordinal appear as "#<ordinal>".
std::vector<std::pair<std::string, std::string>> ImportsOf(const std::wstring& path) {
    std::vector<std::pair<std::string, std::string>> imports;
    UniqueModule module(LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_IMAGE_RESOURCE));
    if (!module) return imports;
    // Mapped as an image, without running or resolving anything; the handle's low bits
    // mark that, and every address is the base plus a relative one.
    const BYTE* base = reinterpret_cast<const BYTE*>(reinterpret_cast<ULONG_PTR>(module.get()) & ~ULONG_PTR(3));
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS32*>(
        base + reinterpret_cast<const IMAGE_DOS_HEADER*>(base)->e_lfanew);
    const DWORD table = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT].VirtualAddress;
    for (auto* library = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + table); table && library->Name;
         ++library) {
        std::string dll = reinterpret_cast<const char*>(base + library->Name);
        for (char& c : dll) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
        const DWORD names = library->OriginalFirstThunk ? library->OriginalFirstThunk : library->FirstThunk;
        for (auto* thunk = reinterpret_cast<const IMAGE_THUNK_DATA32*>(base + names); thunk->u1.AddressOfData; ++thunk) {
            imports.emplace_back(
                dll, IMAGE_SNAP_BY_ORDINAL32(thunk->u1.Ordinal)
                         ? "#" + std::to_string(IMAGE_ORDINAL32(thunk->u1.Ordinal))
                         : std::string(reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + thunk->u1.AddressOfData)->Name));
        }
    }
    return imports;
}

TEST(LauncherImports, EveryImportedFunctionExistsOnWindows7) {
    const auto imports = ImportsOf(BinDir() + L"\\Velmora.exe");
    // The table was read: the launcher's own start needs these.
    const std::set<std::pair<std::string, std::string>> all(imports.begin(), imports.end());
    ASSERT_TRUE(all.count({"kernel32.dll", "CreateProcessW"})) << "import table not read";
    ASSERT_TRUE(all.count({"user32.dll", "MessageBoxW"})) << "import table not read";

    const std::set<std::string> newer(std::begin(kNewerThanWindows7), std::end(kNewerThanWindows7));
    std::string listing;
    for (const auto& import : imports) {
        listing += import.first + "!" + import.second + "\n";
        EXPECT_FALSE(IsNewerLibrary(import.first)) << import.first << "!" << import.second;
        EXPECT_FALSE(newer.count(import.second)) << import.first << "!" << import.second << " is newer than Windows 7";
    }
    if (HasFailure()) ADD_FAILURE() << "Velmora.exe imports:\n" << listing;
}

}  // namespace
