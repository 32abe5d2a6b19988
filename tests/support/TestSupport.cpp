#include "TestSupport.h"

#include <shellapi.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "framework/Handles.h"

RecordingMessageBoxes::RecordingMessageBoxes(int defaultAnswer)
    : m_default(defaultAnswer), m_previous(SetMessageBoxPresenter(this)) {}

RecordingMessageBoxes::~RecordingMessageBoxes() { SetMessageBoxPresenter(m_previous); }

int RecordingMessageBoxes::Show(HWND owner, const wchar_t* text, const wchar_t* title, UINT style) {
    boxes.push_back(Box{owner, text ? text : L"", title ? title : L"", style});
    if (onShow) onShow(boxes.back());
    if (m_answers.empty()) return m_default;
    int answer = m_answers.front();
    m_answers.pop_front();
    return answer;
}

RecordingWebPages::RecordingWebPages() : m_previous(SetWebPagePresenter(this)) {}
RecordingWebPages::~RecordingWebPages() { SetWebPagePresenter(m_previous); }

HINSTANCE RecordingWebPages::Open(const wchar_t* address) {
    pages.push_back(address ? address : L"");
    return reinterpret_cast<HINSTANCE>(static_cast<INT_PTR>(42));
}

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

TempDir::TempDir(const std::wstring& nameHint, const std::wstring& parent) {
    std::wstring base = parent;
    if (base.empty()) {
        wchar_t tmp[MAX_PATH] = {};
        GetTempPathW(MAX_PATH, tmp);
        base = tmp;
    }
    if (!base.empty() && base.back() == L'\\') base.pop_back();
    static unsigned counter = 0;
    for (;;) {
        std::wstringstream name;
        name << base << L"\\" << nameHint << L"-" << GetCurrentProcessId() << L"-" << ++counter;
        if (CreateDirectoryW(name.str().c_str(), nullptr)) {
            m_path = name.str();
            return;
        }
        if (GetLastError() != ERROR_ALREADY_EXISTS) return;
    }
}

TempDir::~TempDir() {
    if (!m_path.empty()) RemoveTree(m_path);
}

HeldFile::HeldFile(const std::wstring& path, DWORD holdMs) {
    // Built beside the test programs; the component tests live one folder further down.
    std::wstring helper = ProgramDirectory() + L"\\filehold.exe";
    if (GetFileAttributesW(helper.c_str()) == INVALID_FILE_ATTRIBUTES) {
        const std::wstring dir = ProgramDirectory();
        helper = dir.substr(0, dir.find_last_of(L'\\')) + L"\\filehold.exe";
    }
    std::wstringstream name;
    name << L"velmora-filehold-" << GetCurrentProcessId() << L"-" << GetTickCount();
    UniqueHandle ready(CreateEventW(nullptr, TRUE, FALSE, name.str().c_str()));
    std::wstring commandLine = L"\"" + helper + L"\" \"" + path + L"\" " + std::to_wstring(holdMs) + L" " + name.str();
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    if (!ready || !CreateProcessW(helper.c_str(), &commandLine[0], nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                                  nullptr, &si, m_process.put())) {
        return;
    }
    HANDLE waitFor[2] = {ready.get(), m_process.process()};
    m_held = WaitForMultipleObjects(2, waitFor, FALSE, 120000) == WAIT_OBJECT_0;
}

HeldFile::~HeldFile() {
    if (!m_process.process()) return;
    if (WaitForSingleObject(m_process.process(), 0) == WAIT_TIMEOUT) TerminateProcess(m_process.process(), 1);
    WaitForSingleObject(m_process.process(), 5000);
}

bool WriteBytes(const std::wstring& path, const std::string& bytes) {
    UniqueFile file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    DWORD written = 0;
    return bytes.empty() ||
           (WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
            written == bytes.size());
}

std::string ReadBytes(const std::wstring& path) {
    UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    std::string out;
    if (!file) return out;
    char buf[65536];
    DWORD got = 0;
    while (ReadFile(file.get(), buf, sizeof buf, &got, nullptr) && got > 0) out.append(buf, got);
    return out;
}

bool RemoveTree(const std::wstring& path) {
    DWORD attrs = GetFileAttributesW(path.c_str());
    if (attrs == INVALID_FILE_ATTRIBUTES) return true;
    if (!(attrs & FILE_ATTRIBUTE_DIRECTORY)) {
        SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        return DeleteFileW(path.c_str()) != 0;
    }
    RemoveContents(path);
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    return RemoveDirectoryW(path.c_str()) != 0;
}

void RemoveContents(const std::wstring& folder) {
    for (const std::wstring& name : FolderEntries(folder)) RemoveTree(folder + L"\\" + name);
}

std::vector<std::wstring> FolderEntries(const std::wstring& folder) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW fd;
    UniqueFind find(FindFirstFileW((folder + L"\\*").c_str(), &fd));
    if (!find) return names;
    do {
        const std::wstring name = fd.cFileName;
        if (name != L"." && name != L"..") names.push_back(name);
    } while (FindNextFileW(find.get(), &fd));
    std::sort(names.begin(), names.end());
    return names;
}

std::wstring ProgramDirectory() {
    wchar_t buf[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, buf, MAX_PATH);
    std::wstring p = buf;
    size_t slash = p.find_last_of(L'\\');
    return slash == std::wstring::npos ? p : p.substr(0, slash);
}

int RunAndWait(const std::wstring& commandLine, DWORD timeoutMs) {
    std::wstring writable = commandLine;
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    UniqueProcessInformation pi;
    if (!CreateProcessW(nullptr, &writable[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, pi.put())) return -1;
    if (WaitForSingleObject(pi.process(), timeoutMs) != WAIT_OBJECT_0) {
        TerminateProcess(pi.process(), 1);
        return -1;
    }
    DWORD code = 0;
    GetExitCodeProcess(pi.process(), &code);
    return static_cast<int>(code);
}
