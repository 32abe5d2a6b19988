// Times, inside Windows, how long the launcher takes from its process creation to the
// start of the main program, against the floor of what it cannot avoid: starting the main
// program itself and reading the package and the program once each for their digests.
//
//   launch_bench.exe <installation folder> <folder with a direct copy of Kestrun.exe> [runs]
//
// Each of `runs` rounds (default 11) times a direct start, the two digests and a launch; the
// figures printed are medians over the rounds. The last line printed is ratio=<median of
// the per-round ratios launch latency / floor>.
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
    const int runs = argc > 3 ? std::max(1, _wtoi(argv[3])) : 11;
    RuntimesPresent runtimes;
    const std::wstring package = install + L"\\Kestpak.da";
    const std::wstring program = install + L"\\kstcache";

    // One round is one direct start, one pair of digests and one launch, back to back, so
    // that a machine whose speed drifts moves the floor and the launch alike; the ratio is
    // taken per round. The first round warms the caches up and is discarded.
    std::vector<double> directStarts, digestTimes, launches, ratios;
    for (int i = 0; i <= runs; ++i) {
        double created = 0;
        if (!Run(direct + L"\\Kestrun.exe", direct, created)) {
            std::fprintf(stderr, "could not run Kestrun.exe directly\n");
            return 1;
        }
        const double directMs = LastStart(direct + L"\\kestrun.log") - created;

        const double t0 = NowMs();
        CString a = GetFileMd5(package.c_str());
        CString b = GetFileMd5(program.c_str());
        const double digestMs = NowMs() - t0;
        if (a.IsEmpty() || b.IsEmpty()) {
            std::fprintf(stderr, "could not read the package or the program\n");
            return 1;
        }

        const double before = LastStart(install + L"\\kestrun.log");
        if (!Run(install + L"\\Velmora.exe", install, created)) {
            std::fprintf(stderr, "the launcher did not run to its end\n");
            return 1;
        }
        const double started = LastStart(install + L"\\kestrun.log");
        if (started <= before) {
            std::fprintf(stderr, "the launcher did not start the main program\n");
            return 1;
        }
        if (i == 0) continue;
        directStarts.push_back(directMs);
        digestTimes.push_back(digestMs);
        launches.push_back(started - created);
        ratios.push_back((started - created) / (directMs + digestMs));
    }

    std::printf("runs=%d (medians, first round discarded; ratio = median of the per-round ratios)\n", runs);
    std::printf("direct_start_ms=%.1f\n", Median(directStarts));
    std::printf("digests_ms=%.1f\n", Median(digestTimes));
    std::printf("floor_ms=%.1f\n", Median(directStarts) + Median(digestTimes));
    std::printf("launch_latency_ms=%.1f\n", Median(launches));
    std::printf("ratio_min=%.3f ratio_max=%.3f\n", *std::min_element(ratios.begin(), ratios.end()),
                *std::max_element(ratios.begin(), ratios.end()));
    std::printf("ratio=%.3f\n", Median(ratios));
    return 0;
}
