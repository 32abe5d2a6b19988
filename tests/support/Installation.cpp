#include "Installation.h"

#include <windows.h>
#include <winternl.h>

#include <memory>

#include "Driver.h"
#include "TestSupport.h"
#include "framework/Codepage.h"
#include "framework/Handles.h"
#include "ui/resource.h"
#include "util/CrashChannel.h"

std::wstring BinDir() { return ProgramDirectory(); }

bool MakeInstallation(const std::wstring& outDir, const std::wstring& mainProgram, const std::wstring& extraArgs) {
    std::wstring program = mainProgram.empty() ? BinDir() + L"\\Kestrun.exe" : mainProgram;
    std::wstring args = L"\"" + program + L"\" \"" + outDir + L"\"";
    if (!extraArgs.empty()) args += L" " + extraArgs;
    DrivenProcess tool;
    if (!tool.Start(BinDir() + L"\\mkinstall.exe", args, BinDir())) return false;
    DWORD code = 1;
    return tool.WaitForExit(60000, &code) && code == 0;
}

LargeInstallation* LargeInstallation::Get() {
    static std::unique_ptr<LargeInstallation> built;
    static bool tried = false;
    if (!tried) {
        tried = true;
        built.reset(new LargeInstallation);
        if (!built->Build()) built.reset();
    }
    return built.get();
}

bool LargeInstallation::Build() {
    TempDir source(L"long program");
    // The stand-in padded with bytes that a program file ignores.
    const std::wstring program = source.file(L"Kestrun.exe");
    if (!CopyFileW((BinDir() + L"\\Kestrun.exe").c_str(), program.c_str(), FALSE)) return false;
    {
        UniqueFile file(CreateFileW(program.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        LARGE_INTEGER end;
        end.QuadPart = 1LL << 30;
        if (!file || !SetFilePointerEx(file.get(), end, nullptr, FILE_BEGIN) || !SetEndOfFile(file.get())) return false;
    }
    if (!MakeInstallation(m_dir.path(), program, L"--no-cache")) return false;
    m_config = ReadBytes(file(L"AppConf.ini"));
    return !m_config.empty();
}

bool LargeInstallation::Reset() {
    for (const wchar_t* name : {L"Kestrun.exe", L"kstcache", L"kestrun.log"}) DeleteFileW(file(name).c_str());
    return WriteBytes(file(L"AppConf.ini"), m_config);
}

std::wstring StatusLineOf(HWND splash) {
    wchar_t text[256] = {};
    GetWindowTextW(GetDlgItem(splash, IDC_STATIC_STATUS), text, 256);
    return text;
}

HWND WaitForVisibleStatus(DWORD pid, const std::wstring& text, DWORD timeoutMs) {
    HWND splash = nullptr;
    const bool seen = WaitUntil(
        [&] {
            splash = FindDialogWindow(L"Velmora", pid);
            return splash && IsWindowVisible(splash) && StatusLineOf(splash).compare(0, text.size(), text) == 0;
        },
        timeoutMs);
    return seen ? splash : nullptr;
}

namespace {
std::wstring RecorderCommand() { return L"\"" + BinDir() + L"\\pagerec.exe\" \"%1\""; }
}  // namespace

ScopedPageRecorder::ScopedPageRecorder()
    : m_log(BinDir() + L"\\pagerec.log"),
      m_http(ScopedRegistryValue::String(HKEY_LOCAL_MACHINE, L"Software\\Classes\\http\\shell\\open\\command", L"",
                                         RecorderCommand())),
      m_https(ScopedRegistryValue::String(HKEY_LOCAL_MACHINE, L"Software\\Classes\\https\\shell\\open\\command", L"",
                                          RecorderCommand())) {
    DeleteFileW(m_log.c_str());
}

std::vector<std::wstring> ScopedPageRecorder::Pages() const { return ReadUtf8Lines(m_log); }

std::vector<std::wstring> ScopedPageRecorder::WaitForPages(size_t count, unsigned timeoutMs) const {
    std::vector<std::wstring> pages;
    WaitUntil(
        [&] {
            pages = Pages();
            return pages.size() >= count;
        },
        timeoutMs);
    return pages;
}

std::vector<std::wstring> ReadUtf8Lines(const std::wstring& path) {
    std::string bytes = ReadBytes(path);
    std::vector<std::wstring> lines;
    size_t pos = 0;
    while (pos < bytes.size()) {
        size_t nl = bytes.find('\n', pos);
        std::string line = bytes.substr(pos, nl == std::string::npos ? std::string::npos : nl - pos);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(FromUtf8(line).Str());
        if (nl == std::string::npos) break;
        pos = nl + 1;
    }
    return lines;
}

namespace {
// Another process's command line, read from its process parameters.
std::wstring CommandLineOf(DWORD pid) {
    UniqueHandle process(OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid));
    typedef NTSTATUS(NTAPI * QueryFn)(HANDLE, PROCESSINFOCLASS, PVOID, ULONG, PULONG);
    auto query = reinterpret_cast<QueryFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQueryInformationProcess")));
    PROCESS_BASIC_INFORMATION basic = {};
    PEB peb = {};
    RTL_USER_PROCESS_PARAMETERS parameters = {};
    if (!process || !query || query(process.get(), ProcessBasicInformation, &basic, sizeof basic, nullptr) != 0 ||
        !ReadProcessMemory(process.get(), basic.PebBaseAddress, &peb, sizeof peb, nullptr) ||
        !ReadProcessMemory(process.get(), peb.ProcessParameters, &parameters, sizeof parameters, nullptr)) {
        return std::wstring();
    }
    std::wstring text(parameters.CommandLine.Length / sizeof(wchar_t), L'\0');
    if (!text.empty() &&
        !ReadProcessMemory(process.get(), parameters.CommandLine.Buffer, &text[0], parameters.CommandLine.Length, nullptr))
        return std::wstring();
    return text;
}
}  // namespace

std::vector<DWORD> LauncherProcesses() {
    std::vector<DWORD> launchers;
    for (DWORD pid : ProcessesNamed(L"Velmora.exe")) {
        if (CommandLineOf(pid).find(kCrashHandlerArgument) == std::wstring::npos) launchers.push_back(pid);
    }
    return launchers;
}

std::optional<SeenBox> StartRefusedCopy(DrivenProcess& copy, const std::wstring& exe) {
    if (!copy.Start(exe)) return std::nullopt;
    std::optional<SeenBox> box = copy.WaitForBox(20000, copy.pid());
    if (!box || box->title != L"重复打开软件提示") return std::nullopt;
    return box;
}
