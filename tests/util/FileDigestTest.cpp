// GetFileMd5: known-answer digests, the files it must refuse, and memory that stays
// bounded however large the file is.
#include <gtest/gtest.h>
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <string>

#include "framework/Handles.h"
#include "support/TestSupport.h"
#include "util/FileDigest.h"
#include "PrintCString.h"

namespace {

// Writes `size` bytes of a fixed pattern in pieces, so the test itself never holds the
// whole file.
bool WritePattern(const std::wstring& path, size_t size) {
    UniqueFile file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    std::string piece(1 << 20, '\0');
    for (size_t done = 0; done < size;) {
        size_t n = std::min(piece.size(), size - done);
        for (size_t i = 0; i < n; ++i) {
            size_t at = done + i;
            piece[i] = static_cast<char>((at * 7 + (at >> 13)) & 0xFF);
        }
        DWORD written = 0;
        if (!WriteFile(file.get(), piece.data(), static_cast<DWORD>(n), &written, nullptr) || written != n) return false;
        done += n;
    }
    return true;
}

}  // namespace

TEST(FileDigest, KnownAnswers) {
    TempDir dir(L"digest");
    struct Case {
        const wchar_t* name;
        std::string content;
        const wchar_t* md5;
    };
    // RFC 1321 test suite values and the published "one million times 'a'" vector (which
    // also spans several read buffers).
    const Case cases[] = {
        {L"empty.bin", "", L"D41D8CD98F00B204E9800998ECF8427E"},
        {L"abc.bin", "abc", L"900150983CD24FB0D6963F7D28E17F72"},
        {L"digits.bin", "12345678901234567890123456789012345678901234567890123456789012345678901234567890",
         L"57EDF4A22BE3C955AC49DA2E2107B67A"},
        {L"million-a.bin", std::string(1000000, 'a'), L"7707D6AE4E027C70EEA2A935C2296F21"},
    };
    for (const Case& c : cases) {
        std::wstring path = dir.file(c.name);
        ASSERT_TRUE(WriteBytes(path, c.content));
        CString first = GetFileMd5(path.c_str());
        EXPECT_EQ(CString(c.md5), first) << c.name;
        EXPECT_EQ(first, GetFileMd5(path.c_str())) << c.name << ": a second call differs";
    }
}

TEST(FileDigest, SeveralMebibytesNotAMultipleOfTheBuffer) {
    TempDir dir(L"digest");
    std::wstring path = dir.file(L"pattern.bin");
    // 5 MiB + 17 bytes; the expected value comes from coreutils md5sum over the same bytes.
    ASSERT_TRUE(WritePattern(path, 5 * 1024 * 1024 + 17));
    EXPECT_EQ(CString(L"7FB964A25C062B9348EFDDFF28875E09"), GetFileMd5(path.c_str()));
}

TEST(FileDigest, UnreadableTargetsGiveTheEmptyString) {
    TempDir dir(L"digest");
    EXPECT_EQ(CString(), GetFileMd5(dir.file(L"missing.bin").c_str()));
    EXPECT_EQ(CString(), GetFileMd5(dir.path().c_str()));
    EXPECT_EQ(CString(), GetFileMd5(L""));

    // A file that someone holds open for writing (while letting others read) cannot be
    // opened with read sharing only.
    std::wstring path = dir.file(L"busy.bin");
    ASSERT_TRUE(WriteBytes(path, "abc"));
    {
        UniqueFile writer(CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(writer);
        EXPECT_EQ(CString(), GetFileMd5(path.c_str()));
    }
    // Once the writer is gone the same file hashes, and the digest left no handle behind:
    // the file can be opened exclusively and deleted.
    EXPECT_EQ(CString(L"900150983CD24FB0D6963F7D28E17F72"), GetFileMd5(path.c_str()));
    UniqueFile exclusive(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                     FILE_ATTRIBUTE_NORMAL, nullptr));
    EXPECT_TRUE(exclusive);
    exclusive.reset();
    EXPECT_TRUE(DeleteFileW(path.c_str()));
}

TEST(FileDigest, MemoryStaysBoundedForALargeFile) {
    TempDir dir(L"digest");
    std::wstring path = dir.file(L"large.bin");
    const size_t size = 64u << 20;
    ASSERT_TRUE(WritePattern(path, size));

    PROCESS_MEMORY_COUNTERS before = {};
    before.cb = sizeof before;
    ASSERT_TRUE(GetProcessMemoryInfo(GetCurrentProcess(), &before, sizeof before));
    CString digest = GetFileMd5(path.c_str());
    PROCESS_MEMORY_COUNTERS after = {};
    after.cb = sizeof after;
    ASSERT_TRUE(GetProcessMemoryInfo(GetCurrentProcess(), &after, sizeof after));

    EXPECT_EQ(32, digest.GetLength());
    // Holding the file would raise the peak by its 64 MiB; hashing as it reads needs
    // only the read buffer.
    const SIZE_T allowance = 16u << 20;
    SIZE_T limit = std::max(before.PeakWorkingSetSize, before.WorkingSetSize + allowance);
    EXPECT_LE(after.PeakWorkingSetSize, limit)
        << "peak grew by " << (after.PeakWorkingSetSize - before.WorkingSetSize) / 1024 << " KiB";
}
