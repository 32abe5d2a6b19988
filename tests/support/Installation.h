#pragma once
// Installations for end-to-end tests, built by our installation builder from the build's
// binaries, and a recorder for the web pages the launcher opens.
#include <optional>
#include <string>
#include <vector>

#include "Driver.h"
#include "Registry.h"
#include "TestSupport.h"

// The build's binary folder (where the test programs, the launcher and the stand-ins are).
std::wstring BinDir();

// Runs mkinstall.exe: `<mainProgram> <outDir>` plus extra arguments; true when it ended
// with 0. The main program defaults to the stand-in Kestrun.exe.
bool MakeInstallation(const std::wstring& outDir, const std::wstring& mainProgram = L"",
                      const std::wstring& extraArgs = L"");

// An installation whose main program is the stand-in padded to 1 GiB, so that verifying it
// takes long enough for the splash window to show its progress. Built on first use and
// shared by the tests of a program, since its package takes a while to build.
class LargeInstallation {
public:
    // Null when it could not be built.
    static LargeInstallation* Get();
    // Back to its state as built but without the main program's file, which a launch then
    // extracts from the package and verifies; false when that failed.
    bool Reset();
    const std::wstring& path() const { return m_dir.path(); }
    std::wstring file(const wchar_t* name) const { return m_dir.file(name); }

private:
    LargeInstallation() = default;
    bool Build();
    TempDir m_dir{L"long verification"};
    std::string m_config;
};

// The splash window's status line, read without sending the launcher a message (it may
// be busy).
std::wstring StatusLineOf(HWND splash);
// The splash window of process `pid` once it is visible with a status line that begins
// with `text`; null when that did not happen within the time.
HWND WaitForVisibleStatus(DWORD pid, const std::wstring& text, DWORD timeoutMs);

// Makes pagerec.exe the prefix's handler of http and https addresses for the scope, so
// every page the launcher opens through the shell is written to a log instead of a browser.
class ScopedPageRecorder {
public:
    ScopedPageRecorder();
    // The addresses opened so far, in order.
    std::vector<std::wstring> Pages() const;
    // Waits up to timeoutMs until at least `count` pages were recorded.
    std::vector<std::wstring> WaitForPages(size_t count, unsigned timeoutMs) const;

private:
    std::wstring m_log;
    ScopedRegistryValue m_http;
    ScopedRegistryValue m_https;
};

// Lines of a UTF-8 text file (empty when it is missing).
std::vector<std::wstring> ReadUtf8Lines(const std::wstring& path);

// Running launchers (Velmora.exe), without the crash handler that each one starts.
std::vector<DWORD> LauncherProcesses();

// Starts another copy of the launcher `exe` as `copy` and waits for the box that refuses it;
// nothing when no box of that copy appears, or one that is not the duplicate warning.
std::optional<SeenBox> StartRefusedCopy(DrivenProcess& copy, const std::wstring& exe);
