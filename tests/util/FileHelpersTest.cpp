// JoinPath, FileExists and ReadStringFile.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "framework/Codepage.h"
#include "framework/Handles.h"
#include "support/TestSupport.h"
#include "util/FileHelpers.h"
#include "PrintCString.h"

namespace {

// A length-prefixed string file: 4-byte little-endian N, then the given bytes.
std::string StringFileBytes(INT32 length, const std::string& body) {
    std::string bytes(4, '\0');
    std::memcpy(&bytes[0], &length, 4);
    return bytes + body;
}

const wchar_t kUnchanged[] = L"<unchanged>";

}  // namespace

TEST(JoinPath, JoinsWithOneBackslashAndResolvesDots) {
    EXPECT_EQ(CString(L"C:\\Velmora\\AppConf.ini"), JoinPath(L"C:\\Velmora", L"AppConf.ini"));
    EXPECT_EQ(CString(L"C:\\Velmora\\AppConf.ini"), JoinPath(L"C:\\Velmora\\", L"AppConf.ini"));
    EXPECT_EQ(CString(L"C:\\Velmora\\update\\qorupd.exe"), JoinPath(L"C:\\Velmora\\bin", L"..\\update\\qorupd.exe"));
    EXPECT_EQ(CString(L"C:\\Velmora\\Kestrun.exe"), JoinPath(L"C:\\Velmora\\.\\", L"Kestrun.exe"));
    // A full path as the name stands alone.
    EXPECT_EQ(CString(L"D:\\other\\x.exe"), JoinPath(L"C:\\Velmora", L"D:\\other\\x.exe"));
}

TEST(JoinPath, ResultThatDoesNotFitIsEmpty) {
    CString dir = CString(L"C:\\") + CString(L'd', 200);
    // 3 + 200 + 1 + 55 = 259 characters still fit.
    CString fits = JoinPath(dir, CString(L'n', 55));
    EXPECT_EQ(259, fits.GetLength());
    EXPECT_EQ(CString(), JoinPath(dir, CString(L'n', 56)));
    EXPECT_EQ(CString(), JoinPath(dir, CString(L'n', 300)));
}

TEST(FileExists, FilesAndFoldersExistEmptyAndOverlongPathsDoNot) {
    TempDir dir(L"exists");
    std::wstring file = dir.file(L"a.txt");
    ASSERT_TRUE(WriteBytes(file, "x"));
    EXPECT_TRUE(FileExists(file.c_str()));
    EXPECT_TRUE(FileExists(dir.path().c_str()));
    EXPECT_FALSE(FileExists(dir.file(L"missing.txt").c_str()));
    EXPECT_FALSE(FileExists(L""));

    // Hidden and system entries count too.
    ASSERT_TRUE(SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));
    EXPECT_TRUE(FileExists(file.c_str()));
    SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_NORMAL);

    // Relative paths are taken against the current directory.
    wchar_t previous[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, previous);
    ASSERT_TRUE(SetCurrentDirectoryW(dir.path().c_str()));
    EXPECT_TRUE(FileExists(L"a.txt"));
    EXPECT_TRUE(FileExists(L".\\a.txt"));
    SetCurrentDirectoryW(previous);
}

TEST(FileExists, PathsOf260CharactersAreRefusedEvenWhenTheyExist) {
    TempDir dir(L"exists");
    // Build real files whose full paths are 259 and 260 characters long (created through
    // the long-path prefix, which has no MAX_PATH limit).
    std::wstring base = dir.path() + L"\\";
    ASSERT_LT(base.size(), 200u);
    std::wstring name259 = std::wstring(259 - base.size(), L'f');
    std::wstring name260 = std::wstring(260 - base.size(), L'g');
    ASSERT_TRUE(WriteBytes(L"\\\\?\\" + base + name259, "x"));
    ASSERT_TRUE(WriteBytes(L"\\\\?\\" + base + name260, "x"));
    ASSERT_EQ(259u, (base + name259).size());
    EXPECT_TRUE(FileExists((base + name259).c_str()));
    EXPECT_FALSE(FileExists((base + name260).c_str()));
    DeleteFileW((L"\\\\?\\" + base + name259).c_str());
    DeleteFileW((L"\\\\?\\" + base + name260).c_str());
}

TEST(CanWriteInFolder, AWritableFolderKeepsNoTraceAndOnlyARefusalCountsAsReadOnly) {
    // The refusal itself needs a read-only folder: the end-to-end tests mount one.
    TempDir dir(L"writable");
    EXPECT_TRUE(CanWriteInFolder(dir.path().c_str()));
    WIN32_FIND_DATAW found;
    UniqueFind any(FindFirstFileW(dir.file(L"*.tmp").c_str(), &found));
    EXPECT_FALSE(any) << "left behind";
    // A folder that is not there is not read-only: the rename meets that itself.
    EXPECT_TRUE(CanWriteInFolder(dir.file(L"missing").c_str()));
}

TEST(ReadStringFile, ReadsTheTextInTheAnsiCodePage) {
    TempDir dir(L"strfile");
    std::wstring path = dir.file(L"upd.tmp");
    std::string text = WideToNarrow(L"更新 qorupd 1.2", CP_THREAD_ACP);
    // Bytes after the text are ignored.
    ASSERT_TRUE(WriteBytes(path, StringFileBytes(static_cast<INT32>(text.size()), text) + "trailing"));
    CString error = kUnchanged;
    EXPECT_EQ(CString(L"更新 qorupd 1.2"), ReadStringFile(path.c_str(), error));
    EXPECT_EQ(CString(kUnchanged), error);
}

TEST(ReadStringFile, EmptyAndNonPositiveLengthsGiveEmptyTextWithoutError) {
    TempDir dir(L"strfile");
    const INT32 lengths[] = {0, -1, -5, static_cast<INT32>(0x80000000u)};
    for (INT32 n : lengths) {
        std::wstring path = dir.file(L"n.tmp");
        ASSERT_TRUE(WriteBytes(path, StringFileBytes(n, "abc")));
        CString error = kUnchanged;
        EXPECT_EQ(CString(), ReadStringFile(path.c_str(), error)) << n;
        EXPECT_EQ(CString(kUnchanged), error) << n;
    }
}

TEST(ReadStringFile, ALengthPastTheEndOfTheFileIsAnIncompleteFileAndAllocatesNothing) {
    TempDir dir(L"strfile");
    std::wstring path = dir.file(L"short.tmp");
    // 300,000,000 (or 2 GiB - 1) bytes announced, one or three there.
    const struct {
        INT32 length;
        const char* body;
    } cases[] = {{6, "abc"}, {300000000, "6"}, {0x7FFFFFFF, "abc"}};
    for (const auto& c : cases) {
        ASSERT_TRUE(WriteBytes(path, StringFileBytes(c.length, c.body)));
        CString error = kUnchanged;
        EXPECT_EQ(CString(), ReadStringFile(path.c_str(), error)) << c.length;
        EXPECT_EQ(CString(L"文件内容不完整。"), error) << c.length;
    }
    EXPECT_TRUE(DeleteFileW(path.c_str())) << "a handle was left open";
}

TEST(ReadStringFile, ReportsEachFailureWithItsText) {
    TempDir dir(L"strfile");
    CString error;
    EXPECT_EQ(CString(), ReadStringFile(L"", error));
    EXPECT_EQ(CString(L"路径为空。"), error);

    error.Empty();
    EXPECT_EQ(CString(), ReadStringFile(dir.file(L"none.tmp").c_str(), error));
    EXPECT_EQ(CString(L"文件不存在。"), error);

    // A folder exists but is no file to open.
    error.Empty();
    EXPECT_EQ(CString(), ReadStringFile(dir.path().c_str(), error));
    EXPECT_EQ(CString(L"打开文件失败。"), error);

    // A file someone holds without sharing cannot be opened.
    std::wstring path = dir.file(L"locked.tmp");
    ASSERT_TRUE(WriteBytes(path, StringFileBytes(3, "abc")));
    {
        UniqueFile holder(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(holder);
        error.Empty();
        EXPECT_EQ(CString(), ReadStringFile(path.c_str(), error));
        EXPECT_EQ(CString(L"打开文件失败。"), error);
    }
}

TEST(ReadStringFile, SharesReadingAndWritingAndKeepsNoHandle) {
    TempDir dir(L"strfile");
    std::wstring path = dir.file(L"shared.tmp");
    ASSERT_TRUE(WriteBytes(path, StringFileBytes(3, "abc")));
    {
        // A writer that lets others read and write does not stop the reader.
        UniqueFile writer(CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(writer);
        CString error;
        EXPECT_EQ(CString(L"abc"), ReadStringFile(path.c_str(), error));
    }
    CString error;
    ReadStringFile(path.c_str(), error);
    EXPECT_TRUE(DeleteFileW(path.c_str())) << "a handle was left open";
}

TEST(ReadStringFile, ReadsFromAFolderTheAnsiCodePageCannotName) {
    // Thai letters and an emoji have no GBK encoding: the narrow form of this path is
    // lossy, so only the wide path reaches the file.
    const std::wstring folderName = L"\u0E20\u0E32\u0E29\u0E32-\U0001F600";
    BOOL lossy = FALSE;
    WideCharToMultiByte(CP_THREAD_ACP, 0, folderName.c_str(), -1, nullptr, 0, nullptr, &lossy);
    ASSERT_TRUE(lossy) << "the test needs a name the ANSI code page cannot represent";

    TempDir parent(L"strfile");
    std::wstring folder = parent.path() + L"\\" + folderName;
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    std::wstring path = folder + L"\\upd.tmp";
    ASSERT_TRUE(WriteBytes(path, StringFileBytes(5, "hello")));

    EXPECT_TRUE(FileExists(path.c_str()));
    CString error = kUnchanged;
    EXPECT_EQ(CString(L"hello"), ReadStringFile(path.c_str(), error));
    EXPECT_EQ(CString(kUnchanged), error);
}
