// mkinstall: builds a complete Velmora installation folder around a main program.
//
//   mkinstall.exe [options] <main program> <output folder>
//
// The folder receives the launcher and its companions from beside this tool, the two
// component libraries, the program package holding the main program as Kestrun.exe,
// AppConf.ini with the digests of the main program and of the package in stored form,
// and the main program under its between-runs name.
#include <windows.h>
#include <shlobj.h>

#include <cstdio>
#include <string>
#include <vector>

#include "KestpakFormat.h"
#include "util/InstallationNames.h"
#include "framework/Codepage.h"
#include "framework/Handles.h"
#include "util/DigestCodec.h"
#include "util/FileDigest.h"
#include "util/VerifiedFiles.h"

namespace {

const wchar_t kLauncherFile[] = L"Velmora.exe";
const wchar_t kServiceProgramFile[] = L"Sevra.exe";

struct Options {
    bool launcher = true;
    bool cache = true;
    std::wstring mainProgram;
    std::wstring outputDir;
};

void PrintUsage() {
    std::printf(
        "usage: mkinstall.exe [options] <main program> <output folder>\n"
        "\n"
        "Writes a complete installation into <output folder> (created when missing):\n"
        "  Velmora.exe, qorupd.exe and Sevra.exe (the last two when they lie beside this tool),\n"
        "  CsBrevinLab.dll and CsBrevinApi.dll (from beside this tool),\n"
        "  Kestpak.da holding <main program> as Kestrun.exe,\n"
        "  AppConf.ini with the digests of the main program (Apexm5) and of the package (Apdbm5),\n"
        "  kstcache, the main program under its between-runs name.\n"
        "Any file is accepted as the main program.\n"
        "\n"
        "options:\n"
        "  --no-launcher   do not copy Velmora.exe\n"
        "  --no-cache      do not write kstcache (the launcher then extracts the main program)\n"
        "  --help          show this text\n");
}

void Fail(const std::string& what) { std::fprintf(stderr, "mkinstall: %s\n", what.c_str()); }

std::string Narrow(const std::wstring& text) { return WideToNarrow(text.c_str(), CP_UTF8); }

std::wstring FullPath(const std::wstring& path) {
    wchar_t buffer[MAX_PATH] = {};
    const DWORD length = GetFullPathNameW(path.c_str(), MAX_PATH, buffer, nullptr);
    if (length == 0 || length >= MAX_PATH) return std::wstring();
    std::wstring full(buffer);
    if (full.size() > 3 && full.back() == L'\\') full.pop_back();
    return full;
}

std::wstring Join(const std::wstring& dir, const std::wstring& name) {
    return dir + (dir.empty() || dir.back() == L'\\' ? L"" : L"\\") + name;
}

bool IsFile(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool CopyInto(const std::wstring& source, const std::wstring& target) {
    if (!CopyFileW(source.c_str(), target.c_str(), FALSE)) {
        Fail("cannot copy " + Narrow(source) + " to " + Narrow(target) + " (error " + std::to_string(GetLastError()) +
             ")");
        return false;
    }
    return true;
}

// AppConf.ini records, in stored form, the digest of every verified file that has a key
// there (the package and the main program).
bool WriteConfig(const std::wstring& path, const CString& programDigest, const CString& packageDigest) {
    std::string text = "; Velmora installation, written by mkinstall\r\n[Velmora]\r\n";
    for (const VerifiedFile& file : kVerifiedFiles) {
        if (file.IsFixed()) continue;
        const CString& digest = file.role == FileRole::MainProgram ? programDigest : packageDigest;
        text += Narrow(file.configKey) + "=" + WideToNarrow(EncodeDigestText(digest), CP_UTF8) + "\r\n";
    }
    UniqueFile file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    if (!file || !WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr) ||
        written != text.size()) {
        Fail("cannot write " + Narrow(path) + " (error " + std::to_string(GetLastError()) + ")");
        return false;
    }
    return true;
}

int Run(const Options& options) {
    wchar_t self[MAX_PATH] = {};
    if (!GetModuleFileNameW(nullptr, self, MAX_PATH)) {
        Fail("cannot find the tool's own folder");
        return 1;
    }
    std::wstring toolDir(self);
    toolDir.erase(toolDir.find_last_of(L'\\'));

    const std::wstring mainProgram = FullPath(options.mainProgram);
    if (mainProgram.empty() || !IsFile(mainProgram)) {
        Fail("main program not found: " + Narrow(options.mainProgram));
        return 1;
    }
    const std::wstring outputDir = FullPath(options.outputDir);
    if (outputDir.empty()) {
        Fail("invalid output folder: " + Narrow(options.outputDir));
        return 1;
    }
    if (CompareStringOrdinal(outputDir.c_str(), -1, toolDir.c_str(), -1, TRUE) == CSTR_EQUAL) {
        Fail("the output folder must not be the tool's own folder");
        return 1;
    }
    // The files written below would overwrite the main program while it is being read.
    const std::wstring mainFolder = mainProgram.substr(0, mainProgram.find_last_of(L'\\'));
    if (CompareStringOrdinal(mainFolder.c_str(), -1, outputDir.c_str(), -1, TRUE) == CSTR_EQUAL) {
        Fail("the main program must not lie in the output folder");
        return 1;
    }
    const int created = SHCreateDirectoryExW(nullptr, outputDir.c_str(), nullptr);
    if (created != ERROR_SUCCESS && created != ERROR_ALREADY_EXISTS && created != ERROR_FILE_EXISTS) {
        Fail("cannot create the output folder " + Narrow(outputDir) + " (error " + std::to_string(created) + ")");
        return 1;
    }

    std::vector<std::wstring> required;
    if (options.launcher) required.push_back(kLauncherFile);
    for (const VerifiedFile& file : kVerifiedFiles) {
        if (file.role == FileRole::Component) required.push_back(file.name);
    }
    for (const std::wstring& name : required) {
        if (!IsFile(Join(toolDir, name))) {
            Fail("missing beside the tool: " + Narrow(name));
            return 1;
        }
        if (!CopyInto(Join(toolDir, name), Join(outputDir, name))) return 1;
    }
    for (const std::wstring& name : {kUpdaterFile.Str(), std::wstring(kServiceProgramFile)}) {
        const std::wstring source = Join(toolDir, name);
        if (IsFile(source) && !CopyInto(source, Join(outputDir, name))) return 1;
    }

    const std::wstring packagePath = Join(outputDir, kProgramPackageFile.Str());
    std::string error;
    const std::vector<kestpak::SourceFile> files = {{WideToNarrow(kMainProgramFile, CP_ACP), mainProgram}};
    if (!kestpak::BuildPackage(packagePath, WideToNarrow(kPackagePassword, CP_ACP),
                               WideToNarrow(kPackageInfoTable, CP_ACP), WideToNarrow(kPackageDataTable, CP_ACP), files,
                               error)) {
        Fail("cannot build the package: " + error);
        return 1;
    }
    if (options.cache && !CopyInto(mainProgram, Join(outputDir, kMainProgramCacheFile.Str()))) return 1;

    const CString programDigest = GetFileMd5(mainProgram.c_str());
    const CString packageDigest = GetFileMd5(packagePath.c_str());
    if (programDigest.IsEmpty() || packageDigest.IsEmpty()) {
        Fail("cannot compute the digests");
        return 1;
    }
    if (!WriteConfig(Join(outputDir, kAppConfFile.Str()), programDigest, packageDigest)) return 1;

    std::printf("installation written to %s\n", Narrow(outputDir).c_str());
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    Options options;
    std::vector<std::wstring> positional;
    for (int i = 1; i < argc; ++i) {
        const std::wstring arg = argv[i];
        if (arg == L"--help" || arg == L"-h" || arg == L"/?") {
            PrintUsage();
            return 0;
        } else if (arg == L"--no-launcher") {
            options.launcher = false;
        } else if (arg == L"--no-cache") {
            options.cache = false;
        } else if (arg.size() > 1 && arg[0] == L'-' && arg[1] == L'-') {
            Fail("unknown option " + Narrow(arg));
            PrintUsage();
            return 2;
        } else {
            positional.push_back(arg);
        }
    }
    if (positional.size() != 2) {
        PrintUsage();
        return 2;
    }
    options.mainProgram = positional[0];
    options.outputDir = positional[1];
    return Run(options);
}
