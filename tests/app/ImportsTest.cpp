// What Velmora.exe imports, read from its import table: everything must exist on Windows 7
// SP1 without later updates, where many of the users' machines stand. Toolchains and their
// runtimes pull newer functions in unnoticed (a newer C runtime, a thread library, a DPI
// helper); the list below names those seen in that role. A single one makes the launcher
// fail to start there with a missing-entry-point box before any of its code runs.
#include <gtest/gtest.h>

#include <windows.h>

#include <cctype>
#include <cstring>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "Installation.h"
#include "support/TestSupport.h"

namespace {

// Functions newer than Windows 7 SP1 (the Windows version that brought each one).
const char* const kNewerThanWindows7[] = {
    "GetSystemTimePreciseAsFileTime",  // 8
    "SetDefaultDllDirectories",        // 8 (7 only with KB2533623)
    "AddDllDirectory",                 // 8 (7 only with KB2533623)
    "RemoveDllDirectory",              // 8 (7 only with KB2533623)
    "CreateFile2",                     // 8
    "CopyFile2",                       // 8
    "WaitOnAddress",                   // 8
    "WakeByAddressSingle",             // 8
    "WakeByAddressAll",                // 8
    "GetCurrentThreadStackLimits",     // 8
    "GetOverlappedResultEx",           // 8
    "CreateFileMappingFromApp",        // 8
    "PrefetchVirtualMemory",           // 8
    "GetProcessMitigationPolicy",      // 8
    "SetProcessMitigationPolicy",      // 8
    "InitializeSynchronizationBarrier",  // 8
    "EnterSynchronizationBarrier",     // 8
    "GetPackageFamilyName",            // 8
    "GetCurrentPackageId",             // 8
    "DiscardVirtualMemory",            // 8.1
    "SetThreadDescription",            // 10
    "GetThreadDescription",            // 10
    "GetDpiForWindow",                 // 10
    "GetDpiForSystem",                 // 10
    "GetSystemMetricsForDpi",          // 10
    "AdjustWindowRectExForDpi",        // 10
    "SetProcessDpiAwarenessContext",   // 10
    "SetThreadDpiAwarenessContext",    // 10
    "EnableNonClientDpiScaling",       // 10
    "SetProcessDpiAwareness",          // 8.1, shcore
    "GetDpiForMonitor",                // 8.1, shcore
    "ProcessPrng",                     // 10, bcryptprimitives (newer C++ runtimes' random device)
};

// Libraries that Windows 7 does not have under these names (given in lower case): API
// sets (the universal C runtime's api-ms-win-crt-*, among others), the DPI library and
// the newer C runtimes.
bool IsNewerLibrary(const std::string& dll) {
    return dll.rfind("api-ms-win-", 0) == 0 || dll.rfind("ext-ms-win-", 0) == 0 || dll == "shcore.dll" ||
           dll == "ucrtbase.dll" || dll == "vcruntime140.dll";
}

// The (library in lower case, function) pairs of a PE32 image's import table; functions
// imported by ordinal appear as "#<ordinal>". Empty when the file is not a PE32 image.
std::vector<std::pair<std::string, std::string>> ImportsOf(const std::string& image) {
    std::vector<std::pair<std::string, std::string>> imports;
    auto at = [&](size_t offset, size_t size) { return offset + size <= image.size() ? image.data() + offset : nullptr; };
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(at(0, sizeof(IMAGE_DOS_HEADER)));
    if (!dos || dos->e_magic != IMAGE_DOS_SIGNATURE) return imports;
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS32*>(at(dos->e_lfanew, sizeof(IMAGE_NT_HEADERS32)));
    if (!nt || nt->Signature != IMAGE_NT_SIGNATURE || nt->OptionalHeader.Magic != IMAGE_NT_OPTIONAL_HDR32_MAGIC) {
        return imports;
    }
    const auto* sections = IMAGE_FIRST_SECTION(nt);
    // A relative virtual address as an offset into the file; 0 when no section holds it.
    auto fileOffset = [&](DWORD rva) -> size_t {
        for (WORD i = 0; i < nt->FileHeader.NumberOfSections; ++i) {
            const IMAGE_SECTION_HEADER& s = sections[i];
            if (rva >= s.VirtualAddress && rva < s.VirtualAddress + s.SizeOfRawData) {
                return rva - s.VirtualAddress + s.PointerToRawData;
            }
        }
        return 0;
    };
    auto text = [&](DWORD rva) {
        const size_t offset = fileOffset(rva);
        const char* p = offset ? at(offset, 1) : nullptr;
        return p ? std::string(p, strnlen(p, image.size() - offset)) : std::string();
    };

    const IMAGE_DATA_DIRECTORY& directory = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    for (size_t entry = fileOffset(directory.VirtualAddress); entry; entry += sizeof(IMAGE_IMPORT_DESCRIPTOR)) {
        const auto* library = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(at(entry, sizeof(IMAGE_IMPORT_DESCRIPTOR)));
        if (!library || library->Name == 0) break;
        std::string dll = text(library->Name);
        for (char& c : dll) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
        const DWORD thunks = library->OriginalFirstThunk ? library->OriginalFirstThunk : library->FirstThunk;
        for (size_t thunk = fileOffset(thunks); thunk; thunk += sizeof(IMAGE_THUNK_DATA32)) {
            const auto* data = reinterpret_cast<const IMAGE_THUNK_DATA32*>(at(thunk, sizeof(IMAGE_THUNK_DATA32)));
            if (!data || data->u1.AddressOfData == 0) break;
            if (IMAGE_SNAP_BY_ORDINAL32(data->u1.Ordinal)) {
                imports.emplace_back(dll, "#" + std::to_string(IMAGE_ORDINAL32(data->u1.Ordinal)));
            } else {
                imports.emplace_back(dll, text(data->u1.AddressOfData + 2));  // after the hint
            }
        }
    }
    return imports;
}

TEST(LauncherImports, EveryImportedFunctionExistsOnWindows7) {
    const auto imports = ImportsOf(ReadBytes(BinDir() + L"\\Velmora.exe"));
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
    RecordProperty("imports", std::to_string(imports.size()));
    if (HasFailure()) ADD_FAILURE() << "Velmora.exe imports:\n" << listing;
}

}  // namespace
