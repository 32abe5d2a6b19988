// Stand-in for the main program. Each run appends one UTF-8 line to kestrun.log beside
// itself:
//   start=<ms since 1970, UTC> pid=<id> cwd=<current folder> exit=<code> cmd=<command line>
// and is scripted through other files beside it:
//   kestrun.codes  whitespace-separated exit codes; the first is used and removed per run
//                  (no file or no number left: 0);
//   kestrun.child  when present, a child process is started (it stays in the same job),
//                  writes its pid to kestrun.child.pid and sleeps a minute;
//   kestrun.firstchild  the same child, started at the program's very first instruction (a
//                  TLS callback, before any code of the program's own start-up);
//   kestrun.hold   when present, the run does not end until the file has been deleted.
#include <cstdlib>
#include <cwchar>
#include <string>

#include "common/StandinRun.h"

using namespace standin;

namespace {

const wchar_t kChildSwitch[] = L"--kestrun-child";

// Takes the first number of kestrun.codes and writes the rest back.
int NextExitCode(const std::wstring& folder) {
    std::wstring path = folder + L"\\kestrun.codes";
    std::string text;
    if (!ReadAll(path, text)) return 0;
    size_t begin = text.find_first_not_of(" \t\r\n");
    if (begin == std::string::npos) return 0;
    size_t end = text.find_first_of(" \t\r\n", begin);
    if (end == std::string::npos) end = text.size();
    int code = static_cast<int>(std::strtol(text.substr(begin, end - begin).c_str(), nullptr, 10));
    WriteAll(path, text.substr(end), false);
    return code;
}

int RunChild(const std::wstring& folder) {
    char pid[32];
    wsprintfA(pid, "%lu", GetCurrentProcessId());
    WriteAll(folder + L"\\kestrun.child.pid", pid, false);
    Sleep(60000);
    return 0;
}

void StartChild(const std::wstring& folder) {
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring commandLine = std::wstring(L"\"") + self + L"\" " + kChildSwitch;
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    UniqueProcessInformation pi;
    if (!CreateProcessW(self, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, pi.put())) return;
    // Go on only once the child has recorded itself (or has died), so that whoever
    // watches the job finds the pid file whatever happens to the child afterwards.
    for (int i = 0; i < 250 && !Exists(folder + L"\\kestrun.child.pid"); ++i) {
        if (WaitForSingleObject(pi.process(), 20) == WAIT_OBJECT_0) break;
    }
}

// Runs in the loader, before the C runtime's start-up: the first code of ours in the process.
void NTAPI OnFirstInstruction(PVOID, DWORD reason, PVOID) {
    if (reason != DLL_PROCESS_ATTACH) return;
    const wchar_t* raw = GetCommandLineW();
    if (raw && wcsstr(raw, kChildSwitch)) return;
    wchar_t self[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring folder(self, length);
    folder.erase(folder.find_last_of(L'\\'));
    if (GetFileAttributesW((folder + L"\\kestrun.firstchild").c_str()) == INVALID_FILE_ATTRIBUTES) return;
    std::wstring commandLine = std::wstring(L"\"") + self + L"\" " + kChildSwitch;
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    UniqueProcessInformation pi;
    CreateProcessW(self, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, pi.put());
}

}  // namespace

// The program's TLS directory lists this callback (the C runtime's TLS support collects the
// .CRT$XL* entries).
extern "C" {
extern const PIMAGE_TLS_CALLBACK kestrunFirstInstruction;
__attribute__((section(".CRT$XLB"), used)) const PIMAGE_TLS_CALLBACK kestrunFirstInstruction = OnFirstInstruction;
}

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    const long long start = NowMillisecondsSince1970();
    const std::wstring folder = OwnFolder();
    const wchar_t* raw = GetCommandLineW();
    const std::wstring commandLine = raw ? raw : L"";

    if (commandLine.size() >= wcslen(kChildSwitch) &&
        commandLine.compare(commandLine.size() - wcslen(kChildSwitch), std::wstring::npos, kChildSwitch) == 0) {
        return RunChild(folder);
    }

    const int exitCode = NextExitCode(folder);
    AppendRunLine(L"kestrun.log", start, "exit=" + std::to_string(exitCode));

    if (Exists(folder + L"\\kestrun.child")) StartChild(folder);
    while (Exists(folder + L"\\kestrun.hold")) Sleep(20);
    return exitCode;
}
