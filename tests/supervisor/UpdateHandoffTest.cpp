// The update hand-off: when a folder counts as empty, when the marker asks for an update,
// and what starting the updater does to the marker and the user.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "support/LaunchSupport.h"
#include "support/TestSupport.h"
#include "app/Globals.h"
#include "framework/Handles.h"
#include "supervisor/UpdateHandoff.h"

namespace {

const wchar_t kUpdaterTitle[] = L"软件升级提示";

// A length-prefixed string file: 4-byte signed little-endian length, then the bytes.
std::string Marker(int32_t length, const std::string& text) {
    std::string bytes(4, '\0');
    for (int i = 0; i < 4; ++i) bytes[i] = static_cast<char>((static_cast<uint32_t>(length) >> (8 * i)) & 0xFF);
    return bytes + text;
}
std::string Marker(const std::string& text) { return Marker(static_cast<int32_t>(text.size()), text); }

bool MakeFolder(const std::wstring& path, DWORD attributes = 0) {
    if (!CreateDirectoryW(path.c_str(), nullptr)) return false;
    return attributes == 0 || SetFileAttributesW(path.c_str(), attributes | FILE_ATTRIBUTE_DIRECTORY);
}

bool MakeFile(const std::wstring& path, DWORD attributes = 0) {
    if (!WriteBytes(path, "x")) return false;
    return attributes == 0 || SetFileAttributesW(path.c_str(), attributes);
}


std::wstring Lines(const std::wstring& path) {
    std::string bytes = ReadBytes(path);
    return std::wstring(bytes.begin(), bytes.end());
}

// Waits for the stand-in updater's log to get a line.
bool WaitForLog(const std::wstring& path, DWORD timeoutMs) {
    DWORD start = GetTickCount();
    while (ReadBytes(path).find('\n') == std::string::npos) {
        if (GetTickCount() - start > timeoutMs) return false;
        Sleep(50);
    }
    return true;
}

}  // namespace

// --- IsFolderEmpty -------------------------------------------------------------------

TEST(IsFolderEmpty, AFolderThatCannotBeListedCountsAsEmpty) {
    TempDir dir(L"fe");
    EXPECT_TRUE(IsFolderEmpty(dir.file(L"missing").c_str()));
    // A file where the folder should be cannot be listed either. (Wine runs the tests as
    // the Unix owner of the files, so a folder without read permission stays listable;
    // this and the missing folder are the unlistable folders it can show.)
    ASSERT_TRUE(MakeFile(dir.file(L"plain")));
    EXPECT_TRUE(IsFolderEmpty(dir.file(L"plain").c_str()));
}

TEST(IsFolderEmpty, EmptyOrOnlyHiddenSubfoldersCountsAsEmpty) {
    TempDir dir(L"fe");
    EXPECT_TRUE(IsFolderEmpty(dir.path().c_str()));

    ASSERT_TRUE(MakeFolder(dir.file(L"cache"), FILE_ATTRIBUTE_HIDDEN));
    ASSERT_TRUE(GetFileAttributesW(dir.file(L"cache").c_str()) & FILE_ATTRIBUTE_HIDDEN)
        << "the prefix does not keep the hidden attribute";
    ASSERT_TRUE(MakeFolder(dir.file(L"cache2"), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));
    // What is inside a hidden subfolder does not matter.
    ASSERT_TRUE(MakeFile(dir.file(L"cache\\payload.bin")));
    EXPECT_TRUE(IsFolderEmpty(dir.path().c_str()));
}

TEST(IsFolderEmpty, AnyFileOrVisibleSubfolderIsContent) {
    {
        TempDir dir(L"fe");
        ASSERT_TRUE(MakeFile(dir.file(L"secret.dat"), FILE_ATTRIBUTE_HIDDEN));
        EXPECT_FALSE(IsFolderEmpty(dir.path().c_str())) << "a hidden file";
    }
    {
        TempDir dir(L"fe");
        ASSERT_TRUE(MakeFolder(dir.file(L"sub")));
        EXPECT_FALSE(IsFolderEmpty(dir.path().c_str())) << "an empty visible subfolder";
    }
    {
        TempDir dir(L"fe");
        ASSERT_TRUE(MakeFile(dir.file(L"new.exe")));
        EXPECT_FALSE(IsFolderEmpty(dir.path().c_str())) << "one file";
    }
    {
        // Content behind a hidden subfolder, and as the very last entry of the listing.
        TempDir dir(L"fe");
        ASSERT_TRUE(MakeFolder(dir.file(L"a-hidden"), FILE_ATTRIBUTE_HIDDEN));
        ASSERT_TRUE(MakeFolder(dir.file(L"b-hidden"), FILE_ATTRIBUTE_HIDDEN));
        ASSERT_TRUE(MakeFile(dir.file(L"z-last.txt")));
        EXPECT_FALSE(IsFolderEmpty(dir.path().c_str()));
    }
}

// --- the marker ------------------------------------------------------------------------

TEST(UpdateRequestText, OnlyASixWithSurroundingWhiteSpaceCounts) {
    EXPECT_TRUE(IsUpdateRequestText(L"6"));
    EXPECT_TRUE(IsUpdateRequestText(L"6\r\n"));
    EXPECT_TRUE(IsUpdateRequestText(L" 6 "));
    EXPECT_TRUE(IsUpdateRequestText(L"\t6\n"));
    EXPECT_FALSE(IsUpdateRequestText(L"06"));
    EXPECT_FALSE(IsUpdateRequestText(L"6 6"));
    EXPECT_FALSE(IsUpdateRequestText(L"7"));
    EXPECT_FALSE(IsUpdateRequestText(L""));
    EXPECT_FALSE(IsUpdateRequestText(L"\xFF16"));  // full-width six
    EXPECT_FALSE(IsUpdateRequestText(CString(L"6\0\0", 3))) << "zero bytes are not white space";
}

class UpdatePending : public ::testing::Test {
protected:
    TempDir dir{L"upd"};
    std::wstring marker = dir.file(L"upd.tmp");
    std::wstring update = dir.file(L"update");

    void WithUpdateContent() {
        ASSERT_TRUE(MakeFolder(update));
        ASSERT_TRUE(MakeFile(update + L"\\Kestrun.exe"));
    }
    bool Pending() { return IsUpdatePendingIn(dir.path().c_str()); }
};

TEST_F(UpdatePending, MarkerTextsWithContentInTheUpdateFolder) {
    WithUpdateContent();
    struct Case {
        std::string bytes;
        bool pending;
        const char* what;
    } cases[] = {
        {Marker("6"), true, "\"6\""},
        {Marker("6\r\n"), true, "\"6\" and a line break"},
        {Marker(" 6 "), true, "\" 6 \""},
        {Marker("6") + "trailing bytes", true, "bytes after the text are ignored"},
        {Marker("06"), false, "\"06\""},
        {Marker("66"), false, "\"66\""},
        {Marker(0, "6"), false, "length 0"},
        {Marker(-1, "6"), false, "negative length"},
        {Marker(5, "6"), false, "text shorter than its length"},
        {std::string("\x01\x00", 2), false, "length field cut short"},
        {std::string(), false, "empty file"},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(WriteBytes(marker, c.bytes));
        EXPECT_EQ(Pending(), c.pending) << c.what;
        EXPECT_TRUE(Exists(marker)) << "the test has no side effects: " << c.what;
    }
}

TEST_F(UpdatePending, NoRequestWithoutContentInTheUpdateFolder) {
    ASSERT_TRUE(WriteBytes(marker, Marker("6")));
    EXPECT_FALSE(Pending()) << "no update folder";
    ASSERT_TRUE(MakeFolder(update));
    EXPECT_FALSE(Pending()) << "empty update folder";
    ASSERT_TRUE(MakeFolder(update + L"\\hidden", FILE_ATTRIBUTE_HIDDEN));
    EXPECT_FALSE(Pending()) << "only a hidden subfolder";
    ASSERT_TRUE(MakeFile(update + L"\\.state", FILE_ATTRIBUTE_HIDDEN));
    EXPECT_TRUE(Pending()) << "a hidden file is content";
}

TEST_F(UpdatePending, NoMarkerOrAnUnreadableOneIsNoRequest) {
    WithUpdateContent();
    EXPECT_FALSE(Pending()) << "no marker";

    ASSERT_TRUE(WriteBytes(marker, Marker("6")));
    {
        // Held open by another program that shares nothing.
        UniqueFile held(CreateFileW(marker.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(held);
        EXPECT_FALSE(Pending()) << "marker that cannot be opened";
    }
    EXPECT_TRUE(Pending()) << "the same marker once it is released";

    ASSERT_TRUE(DeleteFileW(marker.c_str()));
    ASSERT_TRUE(MakeFolder(marker));
    EXPECT_FALSE(Pending()) << "a folder named like the marker";
}

// --- starting the updater ----------------------------------------------------------------

class UpdaterStart : public ::testing::Test {
protected:
    TempDir dir{L"updater dir"};
    std::wstring marker = dir.file(L"upd.tmp");
    std::wstring updater = dir.file(L"qorupd.exe");
    std::wstring log = dir.file(L"qorupd.log");
    RecordingMessageBoxes boxes;
    CString savedAppDir = g_strAppDir;

    void SetUp() override { g_strAppDir = dir.path().c_str(); }
    void TearDown() override { g_strAppDir = savedAppDir; }

    void InstallUpdater() {
        ASSERT_TRUE(CopyFileW((ProgramDirectory() + L"\\qorupd.exe").c_str(), updater.c_str(), FALSE));
    }
    // The hand-off as the launch makes it after the main program's run, its outcome shown.
    bool Start() {
        const LaunchOutcome outcome = StartUpdater(dir.path().c_str());
        COutcomePresenter(SettingsFor(dir.path()).installation, CString(), boxes, pages).Present(outcome);
        return outcome.ok();
    }
    RecordingWebPages pages;
};

TEST_F(UpdaterStart, MissingUpdaterIsReported) {
    ASSERT_TRUE(WriteBytes(marker, Marker("6")));
    // No updater at all, then a folder of its name (which the shell would open in a
    // file window): neither is an updater that can start.
    for (bool folder : {false, true}) {
        SCOPED_TRACE(folder ? "folder" : "nothing");
        if (folder) {
            ASSERT_TRUE(MakeFolder(updater));
        }
        boxes.boxes.clear();
        EXPECT_FALSE(Start());
        ASSERT_EQ(boxes.boxes.size(), 1u);
        EXPECT_EQ(boxes.boxes[0].title, kUpdaterTitle);
        EXPECT_EQ(boxes.boxes[0].text, L"升级程序加载失败！\n文件丢失。");
        EXPECT_EQ(boxes.boxes[0].owner, nullptr);
        EXPECT_TRUE(Exists(marker)) << "the request stays for the next run";
    }
}

TEST_F(UpdaterStart, StartsTheUpdaterWithoutArgumentsAndRemovesTheMarkerEvenReadOnly) {
    InstallUpdater();
    ASSERT_TRUE(MakeFile(marker, FILE_ATTRIBUTE_READONLY));
    EXPECT_TRUE(Start());
    EXPECT_TRUE(boxes.boxes.empty());
    EXPECT_FALSE(Exists(marker));
    ASSERT_TRUE(WaitForLog(log, 10000));
    std::wstring line = Lines(log);
    EXPECT_NE(line.find(L"qorupd.exe"), std::wstring::npos) << line;
    // Nothing follows the program on its command line.
    size_t cmd = line.find(L" cmd=");
    ASSERT_NE(cmd, std::wstring::npos);
    std::wstring commandLine = line.substr(cmd + 5);
    while (!commandLine.empty() && (commandLine.back() == L'\n' || commandLine.back() == L'\r' ||
                                    commandLine.back() == L' '))
        commandLine.pop_back();
    int argc = 0;
    LPWSTR* argv = CommandLineToArgvW(commandLine.c_str(), &argc);
    ASSERT_NE(argv, nullptr);
    EXPECT_EQ(argc, 1) << commandLine;
    LocalFree(argv);
}

TEST_F(UpdaterStart, WithoutAMarkerTheStartAloneHappens) {
    InstallUpdater();
    EXPECT_TRUE(Start());
    EXPECT_TRUE(boxes.boxes.empty());
    EXPECT_TRUE(WaitForLog(log, 10000));
}

TEST_F(UpdaterStart, AMarkerThatCannotBeRemovedDoesNotStopTheHandOff) {
    InstallUpdater();
    ASSERT_TRUE(WriteBytes(marker, Marker("6")));
    {
        // Another program holds the marker open without sharing deletion.
        UniqueFile held(CreateFileW(marker.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(held);
        EXPECT_TRUE(Start()) << "the updater was started";
        EXPECT_TRUE(boxes.boxes.empty()) << "no box holds up the launcher's end";
    }
    EXPECT_TRUE(Exists(marker));
    EXPECT_TRUE(WaitForLog(log, 10000));
}

TEST_F(UpdaterStart, AnUpdaterThatCannotStartIsReportedAndTheMarkerKept) {
    ASSERT_TRUE(WriteBytes(updater, "this is not a program"));
    ASSERT_TRUE(WriteBytes(marker, Marker("6")));
    EXPECT_FALSE(Start());
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].title, kUpdaterTitle);
    const std::wstring prefix = L"升级程序加载失败！\n";
    EXPECT_EQ(boxes.boxes[0].text.compare(0, prefix.size(), prefix), 0) << boxes.boxes[0].text.c_str();
    EXPECT_EQ(boxes.boxes[0].text.find(dir.path()), std::wstring::npos) << "no path reaches the user";
    EXPECT_EQ(boxes.boxes[0].text.find(L"%1"), std::wstring::npos) << "the system's placeholder is filled";
    EXPECT_TRUE(Exists(marker));
    EXPECT_FALSE(Exists(log));
}
