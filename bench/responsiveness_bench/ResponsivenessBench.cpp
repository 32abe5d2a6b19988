// Measures from another process how promptly the launcher answers while it works. Every
// 50 ms a WM_NULL goes to each top-level window that the launcher's process owns, hidden
// ones included (the dialog, a tooltip, the IME window, a message box), through
// SendMessageTimeout; once a second a second thread broadcasts WM_SETTINGCHANGE
// ("Environment") with a plain SendMessage, as an installer does after changing PATH.
// Each answer and each broadcast is timed. Message boxes are answered with OK.
//
//   responsiveness_bench.exe <installation> <1 GiB installation, or -> <scenario>...
//
//   run30s     a normal launch whose main program runs 30 s
//   verify1g   a normal launch that verifies a 1 GiB main program
//   extract1g  the 1 GiB main program is damaged and extracted again from the package
//   busy2s     another program holds the package until 2 s after the launcher took its
//              single-instance guard (when the launcher starts reading its files)
//   exit6      the main program ends with 6: the launcher hands over to the updater
//
// A broadcast reaches every top-level window of the Wine prefix, not only the launcher's,
// so broadcasts and answers are first measured with no launcher running (the reference),
// and measured again after the last scenario. Prints a line per scenario and a summary.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "Driver.h"
#include "Installation.h"
#include "Registry.h"
#include "TestSupport.h"
#include "framework/Codepage.h"
#include "framework/Handles.h"

#ifndef SMTO_ERRORONEXIT
#define SMTO_ERRORONEXIT 0x0020
#endif

namespace {

const DWORD kProbePeriodMs = 50;
const DWORD kBroadcastPeriodMs = 1000;
const DWORD kReferenceMs = 5000;
const DWORD kScenarioBoundMs = 600000;
const double kAnswerGoalMs = 100;
const double kBroadcastGoalMs = 1000;

double NowMs() {
    LARGE_INTEGER frequency, counter;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&counter);
    return static_cast<double>(counter.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

std::string Utf8(const std::wstring& text) { return ToUtf8(text.c_str()); }

struct Answers {
    int probes = 0;
    int slow = 0;        // slower than the goal
    int unanswered = 0;  // no answer within the cap
    size_t mostWindows = 0;
    double longestMs = 0;
    std::wstring slowest;  // class of the window that took longest
};

struct Broadcasts {
    std::vector<double> ms;
    double Longest() const { return ms.empty() ? 0 : *std::max_element(ms.begin(), ms.end()); }
    double Median() const {
        if (ms.empty()) return 0;
        std::vector<double> sorted = ms;
        std::sort(sorted.begin(), sorted.end());
        return sorted[sorted.size() / 2];
    }
};

struct OwnedBy {
    DWORD pid;  // 0: every process but this one
    std::vector<HWND> windows;
};

BOOL CALLBACK CollectWindow(HWND hwnd, LPARAM param) {
    auto* owned = reinterpret_cast<OwnedBy*>(param);
    DWORD owner = 0;
    GetWindowThreadProcessId(hwnd, &owner);
    if (owned->pid ? owner == owned->pid : owner != GetCurrentProcessId()) owned->windows.push_back(hwnd);
    return TRUE;
}

std::wstring ClassOf(HWND hwnd) {
    wchar_t name[128] = {};
    GetClassNameW(hwnd, name, 128);
    return name;
}

// Runs `step` on a thread of its own every `periodMs` (measured from the start of one step
// to the start of the next) until stopped.
class Periodic {
public:
    Periodic(DWORD periodMs, std::function<void()> step)
        : m_stop(CreateEventW(nullptr, TRUE, FALSE, nullptr)), m_thread([this, periodMs, step] {
              DWORD wait = 0;
              do {
                  const double started = NowMs();
                  step();
                  const double spent = NowMs() - started;
                  wait = spent < periodMs ? static_cast<DWORD>(periodMs - spent) : 0;
              } while (WaitForSingleObject(m_stop.get(), wait) == WAIT_TIMEOUT);
          }) {}
    ~Periodic() { Stop(); }
    // Returns once the step under way (a send that waits for an answer) is over.
    void Stop() {
        if (!m_thread.joinable()) return;
        SetEvent(m_stop.get());
        m_thread.join();
    }

private:
    UniqueHandle m_stop;
    std::thread m_thread;
};

// WM_NULL to each top-level window of `pid`, timed. The probe blocks until the window
// answers (or its thread ends): SMTO_ABORTIFHUNG would give up at once on a window that
// the system already counts as hung, and so report the longest hangs as the shortest
// answers; SMTO_BLOCK keeps this thread from being re-entered while it waits.
class AnswerProbe {
public:
    AnswerProbe(DWORD pid, UINT capMs)
        : m_periodic(kProbePeriodMs, [this, pid, capMs] {
              OwnedBy owned{pid, {}};
              EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&owned));
              m_answers.mostWindows = std::max(m_answers.mostWindows, owned.windows.size());
              for (HWND window : owned.windows) {
                  DWORD_PTR result = 0;
                  const double sent = NowMs();
                  const LRESULT answered =
                      SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_BLOCK | SMTO_ERRORONEXIT, capMs, &result);
                  const double ms = NowMs() - sent;
                  ++m_answers.probes;
                  if (!answered && GetLastError() == ERROR_TIMEOUT) ++m_answers.unanswered;
                  if (ms > kAnswerGoalMs) ++m_answers.slow;
                  if (ms > m_answers.longestMs) {
                      m_answers.longestMs = ms;
                      m_answers.slowest = ClassOf(window);
                  }
              }
          }) {}
    Answers Stop() {
        m_periodic.Stop();
        return m_answers;
    }

private:
    Answers m_answers;
    Periodic m_periodic;  // last: starts once the figures exist
};

// A plain broadcast of WM_SETTINGCHANGE once a second, timed.
class BroadcastProbe {
public:
    BroadcastProbe()
        : m_periodic(kBroadcastPeriodMs, [this] {
              const double sent = NowMs();
              SendMessageW(HWND_BROADCAST, WM_SETTINGCHANGE, 0, reinterpret_cast<LPARAM>(L"Environment"));
              m_broadcasts.ms.push_back(NowMs() - sent);
          }) {}
    Broadcasts Stop() {
        m_periodic.Stop();
        return m_broadcasts;
    }

private:
    Broadcasts m_broadcasts;
    Periodic m_periodic;
};

struct Reference {
    Answers answers;
    Broadcasts broadcasts;
};

// Broadcasts and answers of the prefix's own windows, with no launcher running.
void MeasureReference(Reference& reference) {
    AnswerProbe answers(0, 5000);
    BroadcastProbe broadcasts;
    Sleep(kReferenceMs);
    const Answers a = answers.Stop();
    const Broadcasts b = broadcasts.Stop();
    reference.answers.probes += a.probes;
    reference.answers.mostWindows = std::max(reference.answers.mostWindows, a.mostWindows);
    if (a.longestMs > reference.answers.longestMs) {
        reference.answers.longestMs = a.longestMs;
        reference.answers.slowest = a.slowest;
    }
    reference.broadcasts.ms.insert(reference.broadcasts.ms.end(), b.ms.begin(), b.ms.end());
}

size_t LinesIn(const std::wstring& path) { return ReadUtf8Lines(path).size(); }

// One scenario: the installation it runs in, what to set up, what to do while the launcher
// runs (every 50 ms, with the time since its start) and what to undo afterwards.
struct Scenario {
    const char* name;
    bool large;
    std::function<void(const std::wstring& folder)> prepare;
    std::function<void(const std::wstring& folder, double elapsedMs)> tick;
    std::function<void()> finish;
};

struct Result {
    std::string name;
    std::string end;
    size_t runs = 0;
    size_t updaterRuns = 0;
    std::vector<std::wstring> boxes;
    double seconds = 0;
    Answers answers;
    Broadcasts broadcasts;
};

Result RunScenario(const Scenario& scenario, const std::wstring& folder) {
    Result result;
    result.name = scenario.name;
    for (const wchar_t* name : {L"kestrun.log", L"kestrun.codes", L"kestrun.hold", L"qorupd.log"})
        DeleteFileW((folder + L"\\" + name).c_str());
    if (scenario.prepare) scenario.prepare(folder);

    DrivenProcess launcher;
    const double started = NowMs();
    if (!launcher.Start(folder + L"\\Velmora.exe")) {
        result.end = "not started";
        return result;
    }
    AnswerProbe answers(launcher.pid(), 120000);
    BroadcastProbe broadcasts;
    DWORD exitCode = 0;
    while (!launcher.WaitForExit(kProbePeriodMs, &exitCode)) {
        if (std::optional<SeenBox> box = launcher.WaitForBox(0, launcher.pid())) {
            result.boxes.push_back(box->title + L": " + box->text);
            PressBoxButton(box->hwnd, IDOK);
        }
        const double elapsed = NowMs() - started;
        if (scenario.tick) scenario.tick(folder, elapsed);
        if (elapsed > kScenarioBoundMs) {
            launcher.Kill();
            break;
        }
    }
    result.seconds = (NowMs() - started) / 1000;
    char end[64];
    if (launcher.WaitForExit(0, &exitCode))
        std::snprintf(end, sizeof end, "exit:%lu", static_cast<unsigned long>(exitCode));
    else
        std::snprintf(end, sizeof end, "killed");
    result.end = end;
    result.answers = answers.Stop();
    result.broadcasts = broadcasts.Stop();
    if (scenario.finish) scenario.finish();
    DeleteFileW((folder + L"\\kestrun.hold").c_str());
    result.runs = LinesIn(folder + L"\\kestrun.log");
    // The updater is started just before the launcher ends.
    WaitUntil([&] { return (result.updaterRuns = LinesIn(folder + L"\\qorupd.log")) > 0; }, 2000);
    return result;
}

std::vector<Scenario> AllScenarios() {
    std::vector<Scenario> all;
    // The main program stays while kestrun.hold exists: 30 s from its start.
    auto releaseAt = std::make_shared<double>(0);
    all.push_back({"run30s", false,
                   [releaseAt](const std::wstring& folder) {
                       *releaseAt = 0;
                       WriteBytes(folder + L"\\kestrun.hold", "");
                   },
                   [releaseAt](const std::wstring& folder, double elapsed) {
                       if (*releaseAt == 0 && LinesIn(folder + L"\\kestrun.log") > 0) *releaseAt = elapsed + 30000;
                       if (*releaseAt != 0 && elapsed >= *releaseAt) DeleteFileW((folder + L"\\kestrun.hold").c_str());
                   },
                   nullptr});
    // The installation holds an intact program under its between-runs name: it is
    // verified and started.
    all.push_back({"verify1g", true, nullptr, nullptr, nullptr});
    // A damaged program: extracted again from the package (which leaves the installation
    // intact for the next run).
    all.push_back({"extract1g", true,
                   [](const std::wstring& folder) { WriteBytes(folder + L"\\kstcache", "damaged"); }, nullptr,
                   nullptr});
    // The package is held from before the launcher starts until 2 s after it took its
    // guard, which is when it starts reading the package.
    auto holder = std::make_shared<std::unique_ptr<HeldFile>>();
    auto guardAt = std::make_shared<double>(0);
    all.push_back({"busy2s", false,
                   [holder, guardAt](const std::wstring& folder) {
                       *guardAt = 0;
                       holder->reset(new HeldFile(folder + L"\\Kestpak.da", 600000));
                   },
                   [holder, guardAt](const std::wstring&, double elapsed) {
                       if (*guardAt == 0) {
                           UniqueHandle guard(OpenMutexW(SYNCHRONIZE, FALSE, L"DEZ_App_Mutex"));
                           if (guard) *guardAt = elapsed;
                       }
                       if (*guardAt != 0 && elapsed >= *guardAt + 2000) holder->reset();
                   },
                   [holder] { holder->reset(); }});
    all.push_back({"exit6", false, [](const std::wstring& folder) { WriteBytes(folder + L"\\kestrun.codes", "6"); },
                   nullptr, nullptr});
    return all;
}

std::string List(const std::vector<double>& ms) {
    std::string text;
    for (double m : ms) {
        char item[32];
        std::snprintf(item, sizeof item, "%s%.1f", text.empty() ? "" : ",", m);
        text += item;
    }
    return text;
}

void PrintResult(const Result& r, double referenceMs) {
    const double longest = r.broadcasts.Longest();
    std::printf(
        "scenario=%s end=%s runs=%u updater_runs=%u boxes=%u seconds=%.1f windows=%u probes=%d "
        "longest_answer_ms=%.1f slowest=%s answers_over_100ms=%d unanswered=%d broadcasts=%u "
        "longest_broadcast_ms=%.1f over_reference_ms=%+.1f ratio=%.2f\n",
        r.name.c_str(), r.end.c_str(), static_cast<unsigned>(r.runs), static_cast<unsigned>(r.updaterRuns),
        static_cast<unsigned>(r.boxes.size()), r.seconds, static_cast<unsigned>(r.answers.mostWindows),
        r.answers.probes, r.answers.longestMs, Utf8(r.answers.slowest).c_str(), r.answers.slow,
        r.answers.unanswered, static_cast<unsigned>(r.broadcasts.ms.size()), longest, longest - referenceMs,
        referenceMs > 0 ? longest / referenceMs : 0.0);
    std::printf("  broadcasts_ms=%s\n", List(r.broadcasts.ms).c_str());
    for (const std::wstring& box : r.boxes) std::printf("  box %s\n", Utf8(box).c_str());
    std::fflush(stdout);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 4) {
        std::fprintf(stderr,
                     "usage: responsiveness_bench.exe <installation> <1 GiB installation, or -> "
                     "run30s|verify1g|extract1g|busy2s|exit6...\n");
        return 2;
    }
    const std::wstring small = argv[1], large = argv[2];
    std::vector<Scenario> chosen;
    const std::vector<Scenario> all = AllScenarios();
    for (int i = 3; i < argc; ++i) {
        auto it = std::find_if(all.begin(), all.end(), [&](const Scenario& s) { return Utf8(argv[i]) == s.name; });
        if (it == all.end() || (it->large && large == L"-")) {
            std::fprintf(stderr, "unknown scenario, or no 1 GiB installation for it: %s\n", Utf8(argv[i]).c_str());
            return 2;
        }
        chosen.push_back(*it);
    }
    ScopedRuntimes runtimes;

    // The first broadcast of a program costs more (seconds under qemu) whatever the windows.
    const double firstSent = NowMs();
    SendMessageW(HWND_BROADCAST, WM_SETTINGCHANGE, 0, reinterpret_cast<LPARAM>(L"Environment"));
    const double firstBroadcastMs = NowMs() - firstSent;
    Reference reference;
    MeasureReference(reference);
    std::vector<Result> results;
    for (const Scenario& scenario : chosen) {
        std::fprintf(stderr, "scenario %s...\n", scenario.name);
        results.push_back(RunScenario(scenario, scenario.large ? large : small));
    }
    MeasureReference(reference);
    const double referenceMs = reference.broadcasts.Longest();
    for (const Result& r : results) PrintResult(r, referenceMs);
    std::printf(
        "reference (no launcher, before and after) windows=%u probes=%d longest_answer_ms=%.1f slowest=%s "
        "broadcasts=%u longest_broadcast_ms=%.1f median_broadcast_ms=%.1f\n",
        static_cast<unsigned>(reference.answers.mostWindows), reference.answers.probes, reference.answers.longestMs,
        Utf8(reference.answers.slowest).c_str(), static_cast<unsigned>(reference.broadcasts.ms.size()), referenceMs,
        reference.broadcasts.Median());
    std::printf("  broadcasts_ms=%s (the first broadcast of this program, not counted: %.1f)\n",
                List(reference.broadcasts.ms).c_str(), firstBroadcastMs);

    const Result* worstAnswer = nullptr;
    const Result* worstBroadcast = nullptr;
    for (const Result& r : results) {
        if (!worstAnswer || r.answers.longestMs > worstAnswer->answers.longestMs) worstAnswer = &r;
        if (!worstBroadcast || r.broadcasts.Longest() > worstBroadcast->broadcasts.Longest()) worstBroadcast = &r;
    }
    const bool met = worstAnswer->answers.longestMs <= kAnswerGoalMs &&
                     worstBroadcast->broadcasts.Longest() - referenceMs <= kBroadcastGoalMs;
    std::printf(
        "summary longest_answer_ms=%.1f (%s) longest_broadcast_ms=%.1f (%s) reference_broadcast_ms=%.1f "
        "broadcast_over_reference_ms=%+.1f goal=%s (answer <= 100 ms, broadcast <= 1000 ms over the reference)\n",
        worstAnswer->answers.longestMs, worstAnswer->name.c_str(), worstBroadcast->broadcasts.Longest(),
        worstBroadcast->name.c_str(), referenceMs, worstBroadcast->broadcasts.Longest() - referenceMs,
        met ? "met" : "MISSED");
    return 0;
}
