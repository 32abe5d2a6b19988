#pragma once
// The launch without its dialog: a window that records what the launch asks of it, and
// settings for an installation folder of a test.
#include <functional>
#include <string>

#include "supervisor/Launch.h"

class RecordingWindow : public ILaunchWindow {
public:
    void SetStatusText(const CString& text) override { status = text.Str(); }
    void ShowContinueLink(bool enabled) override { linkEnabled = enabled; }
    void Hide() override {
        hidden = true;
        if (onHide) onHide();
    }
    void Show() override { hidden = false; }
    // Blocks until the digest is over, as a window that answers nothing would.
    bool WaitForDigest(CDigestTask& task, const wchar_t*) override {
        task.Result();
        return true;
    }
    void EndModalLoop() override { ended = true; }

    std::wstring status;
    bool linkEnabled = false;
    bool hidden = false;
    bool ended = false;
    std::function<void()> onHide;  // called when the main program has started
};

// The installation in `folder` with the shipped fixed digests, `component` (may be null)
// and the build's service endpoint; presenters as installed when called.
LaunchSettings SettingsFor(const std::wstring& folder, IPackageExtractor* component = nullptr);
