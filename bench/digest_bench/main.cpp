// Measures GetFileMd5 for bench/digest.
//   digest_bench time <file> <runs>   one warm-up call, then <runs> timed calls; prints
//                                     each time, the median and the digest
//   digest_bench peak <file>          one call; prints the working set before it and the
//                                     process's peak working set after it
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <vector>

#include "framework/Codepage.h"
#include "util/FileDigest.h"

namespace {

double Milliseconds(LARGE_INTEGER from, LARGE_INTEGER to) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return 1000.0 * static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(frequency.QuadPart);
}

int Time(const wchar_t* path, int runs) {
    CString digest = GetFileMd5(path);  // warm-up: the file comes into the page cache
    if (digest.IsEmpty()) {
        std::fprintf(stderr, "digest_bench: cannot hash %s\n", ToUtf8(path).c_str());
        return 1;
    }
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        LARGE_INTEGER start, end;
        QueryPerformanceCounter(&start);
        CString again = GetFileMd5(path);
        QueryPerformanceCounter(&end);
        if (again != digest) {
            std::fprintf(stderr, "digest_bench: digest changed between runs\n");
            return 1;
        }
        times.push_back(Milliseconds(start, end));
        std::printf("run %d: %.1f ms\n", i + 1, times.back());
    }
    std::sort(times.begin(), times.end());
    std::printf("median_ms=%.3f\n", times[times.size() / 2]);
    std::printf("digest=%s\n", ToUtf8(digest).c_str());
    return 0;
}

int Peak(const wchar_t* path) {
    PROCESS_MEMORY_COUNTERS before = {};
    before.cb = sizeof before;
    GetProcessMemoryInfo(GetCurrentProcess(), &before, sizeof before);
    CString digest = GetFileMd5(path);
    PROCESS_MEMORY_COUNTERS after = {};
    after.cb = sizeof after;
    GetProcessMemoryInfo(GetCurrentProcess(), &after, sizeof after);
    if (digest.IsEmpty()) {
        std::fprintf(stderr, "digest_bench: cannot hash %s\n", ToUtf8(path).c_str());
        return 1;
    }
    std::printf("baseline_bytes=%lu\n", static_cast<unsigned long>(before.WorkingSetSize));
    std::printf("peak_bytes=%lu\n", static_cast<unsigned long>(after.PeakWorkingSetSize));
    std::printf("digest=%s\n", ToUtf8(digest).c_str());
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc == 4 && std::wcscmp(argv[1], L"time") == 0) return Time(argv[2], _wtoi(argv[3]));
    if (argc == 3 && std::wcscmp(argv[1], L"peak") == 0) return Peak(argv[2]);
    std::fprintf(stderr, "usage: digest_bench time <file> <runs> | digest_bench peak <file>\n");
    return 2;
}
