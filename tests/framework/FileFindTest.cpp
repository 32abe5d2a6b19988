// CFileFind: every entry of a listing becomes current once, the last one included, and the
// search handle is released.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "support/TestSupport.h"
#include "framework/FileFind.h"

TEST(FileFind, WalksEveryEntryIncludingTheLast) {
    TempDir dir(L"ff");
    ASSERT_TRUE(WriteBytes(dir.file(L"a.txt"), "abc"));
    ASSERT_TRUE(CreateDirectoryW(dir.file(L"sub").c_str(), nullptr));
    ASSERT_TRUE(SetFileAttributesW(dir.file(L"sub").c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_DIRECTORY));

    CFileFind finder;
    std::set<std::wstring> seen;
    int dots = 0;
    BOOL more = finder.FindFile((dir.path() + L"\\*").c_str());
    ASSERT_TRUE(more);
    EXPECT_EQ(finder.GetFileName(), L"") << "nothing is current before FindNextFile";
    while (more) {
        more = finder.FindNextFile();
        if (finder.IsDots()) {
            ++dots;
            continue;
        }
        seen.insert(finder.GetFileName().Str());
        if (finder.GetFileName() == L"a.txt") {
            EXPECT_FALSE(finder.IsDirectory());
            EXPECT_EQ(finder.GetLength(), 3u);
            EXPECT_EQ(finder.GetFilePath().Str(), dir.file(L"a.txt"));
        } else {
            EXPECT_TRUE(finder.IsDirectory());
            EXPECT_TRUE(finder.IsHidden());
        }
    }
    EXPECT_EQ(dots, 2);
    EXPECT_EQ(seen, (std::set<std::wstring>{L"a.txt", L"sub"}));
    EXPECT_EQ(finder.GetRoot().Str(), dir.path() + L"\\");
}

TEST(FileFind, ReleasesTheSearchSoTheFolderCanBeRemoved) {
    TempDir parent(L"ff");
    std::wstring folder = parent.file(L"gone");
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    {
        CFileFind finder;
        ASSERT_TRUE(finder.FindFile((folder + L"\\*").c_str()));
        finder.Close();
        EXPECT_FALSE(finder.FindNextFile()) << "a closed search has no entries";
        ASSERT_TRUE(finder.FindFile((folder + L"\\*").c_str())) << "and can start again";
    }
    EXPECT_TRUE(RemoveDirectoryW(folder.c_str()));
    CFileFind finder;
    EXPECT_FALSE(finder.FindFile((folder + L"\\*").c_str()));
    EXPECT_FALSE(finder.FindNextFile());
}
