#pragma once
// The launch without its dialog: a window that records what the launch asks of it and
// carries the launch's posted events to it on the test's thread, and settings for an
// installation folder of a test.
#include <windows.h>

#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "supervisor/Launch.h"

class RecordingWindow : public ILaunchWindow {
public:
    RecordingWindow();
    void SetStatusText(const CString& text) override { status = text.Str(); }
    void ShowContinueLink(bool enabled) override {
        linkShown = true;
        linkEnabled = enabled;
    }
    void Hide() override {
        visible = false;
        if (onHide) onHide();
    }
    void Show() override { visible = true; }
    void Post(LaunchEvent event) override;
    void PostProgress(const wchar_t* what, int percent) override;
    void ShowProgress(const wchar_t*, int percent) override {
        visible = true;
        shownPercents.push_back(percent);
    }
    void EndProgress() override {}
    void StartPause(DWORD ms) override;
    void EndModalLoop(int result) override {
        ended = true;
        endResult = result;
    }

    // Hands what was posted to `launch` (and the pause's end when due), on this thread,
    // until `until` holds; false when `timeoutMs` passed first.
    bool Pump(CLaunch& launch, const std::function<bool()>& until, DWORD timeoutMs = 60000);

    std::wstring status;
    bool linkShown = false;
    bool linkEnabled = false;
    bool visible = false;
    bool ended = false;
    int endResult = 0;
    std::vector<int> shownPercents;
    std::function<void()> onHide;  // called when the main program is let run

private:
    std::mutex m_lock;
    std::deque<std::function<void(CLaunch&)>> m_posted;
    UniqueHandle m_wake;
    DWORD m_pauseDue = 0;
    bool m_pausing = false;
};

// The launch runs from where it stands (its start, or a new attempt after a failure) until
// it ends or waits for the user; false on time-out.
bool RunUntilSettled(CLaunch& launch, RecordingWindow& window, DWORD timeoutMs = 60000);

// The installation in `folder` with the shipped fixed digests, `component` (may be null)
// and the build's service endpoint; presenters as installed when called.
LaunchSettings SettingsFor(const std::wstring& folder, IPackageExtractor* component = nullptr);
