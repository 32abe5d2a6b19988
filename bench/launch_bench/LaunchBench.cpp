// Times, inside Windows, how long the launcher takes from its process creation to the
// start of the main program, against the floor of what it cannot avoid: starting the main
// program itself and reading the package and the program once each for their digests.
//
//   launch_bench.exe <installation folder> <folder with a direct copy of Kestrun.exe> [runs]
//
// Every figure is the median of `runs` measurements (default 5). The last line printed is
// ratio=<launch latency / floor>.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "RuntimesPresent.h"
#include "framework/Handles.h"
#include "util/FileDigest.h"

namespace {

double NowMs() {
    FILETIME ft;
    GetSystemTimeAsFileTime(&ft);
    ULARGE_INTEGER t;
    t.LowPart = ft.dwLowDateTime;
    t.HighPart = ft.dwHighDateTime;
    return static_cast<double>(t.QuadPart - 116444736000000000ULL) / 10000.0;
}

double Median(std::vector<double> v) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

std::string ReadAll(const std::wstring& path) {
    UniqueFile f(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                             0, nullptr));
    std::string out;
    if (!f) return out;
    char buf[4096];
    DWORD got = 0;
    while (ReadFile(f.get(), buf, sizeof buf, &got, nullptr) && got > 0) out.append(buf, got);
    return out;
}

// start= of the last line of a kestrun.log, or a negative value.
double LastStart(const std::wstring& log) {
    std::string text = ReadAll(log);
    size_t at = text.rfind("start=");
    if (at == std::string::npos) return -1;
    return std::atof(text.c_str() + at + 6);
}

// Runs a program in `dir` and waits for it; returns the time just before creation.
bool Run(const std::wstring& exe, const std::wstring& dir, double& createdAt) {
    std::wstring line = L"\"" + exe + L"\"";
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    UniqueProcessInformation pi;
    createdAt = NowMs();
    if (!CreateProcessW(exe.c_str(), &line[0], nullptr, nullptr, FALSE, 0, nullptr, dir.c_str(), &si, pi.put()))
        return false;
    if (WaitForSingleObject(pi.process(), 120000) != WAIT_OBJECT_0) {
        TerminateProcess(pi.process(), 1);
        return false;
    }
    return true;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: launch_bench.exe <installation folder> <direct folder> [runs]\n");
        return 2;
    }
    const std::wstring install = argv[1];
    const std::wstring direct = argv[2];
    const int runs = argc > 3 ? std::max(1, _wtoi(argv[3])) : 5;
    RuntimesPresent runtimes;

    // Floor, part one: the main program started directly.
    std::vector<double> directStarts;
    for (int i = 0; i <= runs; ++i) {
        double created = 0;
        if (!Run(direct + L"\\Kestrun.exe", direct, created)) {
            std::fprintf(stderr, "could not run Kestrun.exe directly\n");
            return 1;
        }
        if (i > 0) directStarts.push_back(LastStart(direct + L"\\kestrun.log") - created);  // first run warms up
    }

    // Floor, part two: the digests of the package and of the program, once each.
    const std::wstring package = install + L"\\Kestpak.da";
    const std::wstring program = install + L"\\kstcache";
    std::vector<double> digestTimes;
    for (int i = 0; i <= runs; ++i) {
        double t0 = NowMs();
        CString a = GetFileMd5(package.c_str());
        CString b = GetFileMd5(program.c_str());
        double t1 = NowMs();
        if (a.IsEmpty() || b.IsEmpty()) {
            std::fprintf(stderr, "could not read the package or the program\n");
            return 1;
        }
        if (i > 0) digestTimes.push_back(t1 - t0);
    }

    // The launcher: from its creation to the main program's start.
    std::vector<double> launches;
    for (int i = 0; i <= runs; ++i) {
        double created = 0;
        double before = LastStart(install + L"\\kestrun.log");
        if (!Run(install + L"\\Velmora.exe", install, created)) {
            std::fprintf(stderr, "the launcher did not run to its end\n");
            return 1;
        }
        double started = LastStart(install + L"\\kestrun.log");
        if (started <= before) {
            std::fprintf(stderr, "the launcher did not start the main program\n");
            return 1;
        }
        if (i > 0) launches.push_back(started - created);
    }

    const double directMs = Median(directStarts);
    const double digestMs = Median(digestTimes);
    const double launchMs = Median(launches);
    const double floorMs = directMs + digestMs;
    std::printf("runs=%d (medians, first run of each kind discarded)\n", runs);
    std::printf("direct_start_ms=%.1f\n", directMs);
    std::printf("digests_ms=%.1f\n", digestMs);
    std::printf("floor_ms=%.1f\n", floorMs);
    std::printf("launch_latency_ms=%.1f\n", launchMs);
    std::printf("ratio=%.3f\n", floorMs > 0 ? launchMs / floorMs : 0.0);
    return 0;
}
