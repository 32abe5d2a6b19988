#pragma once
// Shared by the unit tests: recording presenters for message boxes and web pages, a
// temporary folder that removes itself, and small file helpers.
#include <windows.h>

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "framework/CString.h"
#include "framework/Handles.h"
#include "framework/Presenters.h"

// Records every box (owner, title, text, style) and answers from a script; without a
// scripted answer it answers `defaultAnswer`. Installed for the lifetime of the object.
class RecordingMessageBoxes : public IMessageBoxPresenter {
public:
    struct Box {
        HWND owner;
        std::wstring text;
        std::wstring title;
        UINT style;
    };
    explicit RecordingMessageBoxes(int defaultAnswer = IDOK);
    ~RecordingMessageBoxes() override;

    int Show(HWND owner, const wchar_t* text, const wchar_t* title, UINT style) override;
    void Answer(int answer) { m_answers.push_back(answer); }
    // Called when a box is shown, before it is answered (for example to look at state).
    std::function<void(const Box&)> onShow;

    std::vector<Box> boxes;

private:
    std::deque<int> m_answers;
    int m_default;
    IMessageBoxPresenter* m_previous;
};

// Records the addresses opened instead of starting a browser.
class RecordingWebPages : public IWebPagePresenter {
public:
    RecordingWebPages();
    ~RecordingWebPages() override;
    HINSTANCE Open(const wchar_t* address) override;
    std::vector<std::wstring> pages;

private:
    IWebPagePresenter* m_previous;
};

// A fresh folder under the system's temporary folder (or under `parent`), removed with
// everything in it when the object goes.
class TempDir {
public:
    explicit TempDir(const std::wstring& nameHint = L"velmora", const std::wstring& parent = L"");
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::wstring& path() const { return m_path; }
    std::wstring file(const std::wstring& name) const { return m_path + L"\\" + name; }

private:
    std::wstring m_path;
};

// Another program (tools/filehold) holding a file open without sharing anything, from
// when the constructor returns for about `holdMs`; ended at the latest when the object goes.
class HeldFile {
public:
    HeldFile(const std::wstring& path, DWORD holdMs);
    ~HeldFile();
    HeldFile(const HeldFile&) = delete;
    HeldFile& operator=(const HeldFile&) = delete;
    bool held() const { return m_held; }
    DWORD pid() const { return m_process.get().dwProcessId; }

private:
    UniqueProcessInformation m_process;
    bool m_held = false;
};

// A file or folder exists at the path.
bool Exists(const std::wstring& path);
bool WriteBytes(const std::wstring& path, const std::string& bytes);
std::string ReadBytes(const std::wstring& path);
bool RemoveTree(const std::wstring& path);
// Removes everything inside `folder` but the folder itself.
void RemoveContents(const std::wstring& folder);
// The names in `folder` (without "." and ".."), sorted.
std::vector<std::wstring> FolderEntries(const std::wstring& folder);
// The folder of the running test program (where the build puts every binary).
std::wstring ProgramDirectory();

// Runs a command line, waits at most `timeoutMs`; the exit code, or -1 when it could not
// start or did not end in time (then it is terminated).
int RunAndWait(const std::wstring& commandLine, DWORD timeoutMs = 120000);
