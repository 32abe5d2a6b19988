#include "LaunchSupport.h"

#include "app/Globals.h"

RecordingWindow::RecordingWindow() : m_wake(CreateEventW(nullptr, FALSE, FALSE, nullptr)) {}

void RecordingWindow::Post(LaunchEvent event) {
    std::lock_guard<std::mutex> hold(m_lock);
    m_posted.push_back([event](CLaunch& launch) { launch.Handle(event); });
    SetEvent(m_wake.get());
}

void RecordingWindow::PostProgress(const wchar_t* what, int percent) {
    std::lock_guard<std::mutex> hold(m_lock);
    m_posted.push_back([what, percent](CLaunch& launch) { launch.OnProgress(what, percent); });
    SetEvent(m_wake.get());
}

void RecordingWindow::StartPause(DWORD ms) {
    m_pauseDue = GetTickCount() + ms;
    m_pausing = true;
}

bool RecordingWindow::Pump(CLaunch& launch, const std::function<bool()>& until, DWORD timeoutMs) {
    const DWORD started = GetTickCount();
    while (!until()) {
        std::function<void(CLaunch&)> next;
        {
            std::lock_guard<std::mutex> hold(m_lock);
            if (!m_posted.empty()) {
                next = std::move(m_posted.front());
                m_posted.pop_front();
            }
        }
        if (next) {
            next(launch);
            continue;
        }
        if (m_pausing && static_cast<LONG>(GetTickCount() - m_pauseDue) >= 0) {
            m_pausing = false;
            launch.Handle(LaunchEvent::PauseOver);
            continue;
        }
        if (GetTickCount() - started >= timeoutMs) return until();
        WaitForSingleObject(m_wake.get(), 20);
    }
    return true;
}

bool RunUntilSettled(CLaunch& launch, RecordingWindow& window, DWORD timeoutMs) {
    launch.Handle(launch.State() == LaunchState::Created ? LaunchEvent::Start : LaunchEvent::ContinueLink);
    return window.Pump(
        launch,
        [&] {
            const LaunchState state = launch.State();
            return state == LaunchState::Stopped || state == LaunchState::Failed || state == LaunchState::Ended;
        },
        timeoutMs);
}

LaunchSettings SettingsFor(const std::wstring& folder, IPackageExtractor* component) {
    LaunchSettings settings;
    settings.installation.folder = folder.c_str();
    settings.component = component;
    settings.websiteUrl = g_strWebsiteUrl;
    settings.serverAddress = g_strServerAddress;
    settings.serverPort = g_strServerPort;
    return settings;
}
