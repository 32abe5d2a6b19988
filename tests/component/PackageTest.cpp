// Extraction by the stand-in component, through the launcher's bridge: round trips, and
// hostile packages that must fail with a reason, without crash, hang, or a write outside
// the target folder, and without touching the previous file.
#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "ComponentTestSupport.h"
#include "KestpakFormat.h"
#include "app/Globals.h"
#include "component/RuntimeComponent.h"
#include "framework/Codepage.h"
#include "framework/Handles.h"

namespace {

const char kPassword[] = "73kvd_204519";

std::string RandomBytes(size_t size, unsigned seed) {
    std::mt19937 generator(seed);
    std::string bytes(size, '\0');
    for (char& ch : bytes) ch = static_cast<char>(generator() & 0xFF);
    return bytes;
}

void PutU64(std::string& bytes, size_t at, uint64_t value) {
    for (int i = 0; i < 8; ++i) bytes[at + i] = static_cast<char>(value >> (8 * i));
}
void PutU32(std::string& bytes, size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>(value >> (8 * i));
}
uint64_t GetU64(const std::string& bytes, size_t at) {
    uint64_t value = 0;
    for (int i = 7; i >= 0; --i) value = (value << 8) | static_cast<unsigned char>(bytes[at + i]);
    return value;
}

// Directory entry i of a package: name at 48 + 48 i, offset at +32, size at +40.
size_t EntryAt(int i) { return kestpak::kHeaderSize + kestpak::kDirectoryEntrySize * i; }

// Replaces the information table (directory entry 0) by `plain`, masked as the format
// demands, appended at the end of the package.
std::string WithInfoTable(std::string package, std::string plain) {
    const uint64_t key = kestpak::DeriveKey(reinterpret_cast<const uint8_t*>(package.data() + 16), kPassword);
    const uint64_t offset = package.size();
    kestpak::ApplyKeystream(key, offset, reinterpret_cast<uint8_t*>(&plain[0]), plain.size());
    package += plain;
    PutU64(package, EntryAt(0) + 32, offset);
    PutU64(package, EntryAt(0) + 40, plain.size());
    return package;
}

std::string InfoEntry(const std::string& name, uint64_t offset, uint64_t size, const std::string& md5) {
    std::string entry = name + std::string(1, '\0') + std::string(16, '\0');
    PutU64(entry, name.size() + 1, offset);
    PutU64(entry, name.size() + 9, size);
    return entry + md5;
}

class PackageExtract : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(CopyComponentCompanions(componentDir.path()));
        ASSERT_TRUE(CopyAs(BinDirectory() + L"\\CsBrevinApi.dll", componentDir.path(), L"CsBrevinApi.dll"));
        launcher.reset(new ScopedLauncherDir(componentDir.path()));
        ASSERT_TRUE(LoadInstalledComponent(holder));

        // Larger than the stream buffer and not a multiple of 8, to cross every seam.
        program = RandomBytes(3 * kestpak::kBufferSize + 12345, 7);
        other = RandomBytes(1000, 8);
        ASSERT_TRUE(WriteBytes(sourceDir.file(L"main.bin"), program));
        ASSERT_TRUE(WriteBytes(sourceDir.file(L"other.bin"), other));
        std::string error;
        ASSERT_TRUE(kestpak::BuildPackage(packagePath(), kPassword, "DatFileInfo", "FileDat",
                                          {{"Kestrun.exe", sourceDir.file(L"main.bin")},
                                           {"Other.dat", sourceDir.file(L"other.bin")}},
                                          error))
            << error;
        valid = ReadBytes(packagePath());
        ASSERT_TRUE(WriteBytes(target(), "previous"));
    }
    void TearDown() override {
        holder.Unload();
        launcher.reset();
    }

    std::wstring packagePath() const { return sourceDir.file(L"Kestpak.da"); }
    std::wstring target() const { return targetDir.file(L"Kestrun.exe"); }

    bool Extract(const std::wstring& package, CString& error, const CString& fileName = L"Kestrun.exe",
                 const CString& info = L"DatFileInfo", const CString& data = L"FileDat",
                 const CString& password = L"73kvd_204519") {
        return holder.ExtractFile(package.c_str(), password, info, data, targetDir.path().c_str(), fileName, error);
    }

    // A damaged package must be refused with a reason, leave the previous file and no
    // temporary file behind.
    void ExpectRefused(const std::string& bytes, const char* what, const wchar_t* expectedText = nullptr) {
        SCOPED_TRACE(what);
        ASSERT_TRUE(WriteBytes(sourceDir.file(L"bad.da"), bytes));
        CString error;
        EXPECT_FALSE(Extract(sourceDir.file(L"bad.da"), error));
        EXPECT_FALSE(error.IsEmpty());
        if (expectedText) {
            EXPECT_EQ(CString(expectedText), error);
        }
        EXPECT_EQ("previous", ReadBytes(target()));
        EXPECT_EQ(0, CountFiles(targetDir.path(), L"*.kpxtmp"));
    }

    TempDir componentDir{L"pkgcomp"};
    TempDir sourceDir{L"pkgsrc"};
    TempDir targetDir{L"pkgdst"};
    std::unique_ptr<ScopedLauncherDir> launcher;
    RecordingMessageBoxes boxes;
    CRuntimeComponent holder;
    std::string program, other, valid;
};

TEST_F(PackageExtract, ExtractsEachStoredFileByteForByteAndReplacesTheOldOne) {
    CString error;
    ASSERT_TRUE(Extract(packagePath(), error)) << ToUtf8(error);
    EXPECT_TRUE(error.IsEmpty());
    EXPECT_EQ(program, ReadBytes(target()));
    ASSERT_TRUE(Extract(packagePath(), error, L"Other.dat")) << ToUtf8(error);
    EXPECT_EQ(other, ReadBytes(targetDir.file(L"Other.dat")));
    // Again over an existing, read-only-free file of the same name.
    ASSERT_TRUE(Extract(packagePath(), error));
    EXPECT_EQ(program, ReadBytes(target()));
    EXPECT_EQ(0, CountFiles(targetDir.path(), L"*.kpxtmp"));
}

TEST_F(PackageExtract, LeftoversOfEndedWritersGoAndAHeldTargetIsWaitedFor) {
    // Another program looks at the previous file for a moment while the new one is
    // written; a live writer's temporary file stays, one whose writer ended goes.
    HeldFile scanner(target(), 300);
    ASSERT_TRUE(scanner.held());
    // A writer that stays alive for the whole test (it is ended when the test ends).
    ASSERT_TRUE(WriteBytes(targetDir.file(L"writer.lock"), ""));
    HeldFile writer(targetDir.file(L"writer.lock"), 120000);
    ASSERT_TRUE(writer.held());
    const std::wstring live = targetDir.file(L"Other.dat." + std::to_wstring(writer.pid()) + L".kpxtmp");
    ASSERT_TRUE(WriteBytes(live, "being written"));
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    UniqueProcessInformation ended;  // kept open so that its id is not given to another process
    std::wstring commandLine = L"cmd.exe /c exit";
    ASSERT_TRUE(CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr,
                               &si, ended.put()));
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(ended.process(), 30000));
    const std::wstring stale = targetDir.file(L"Kestrun.exe." + std::to_wstring(ended.get().dwProcessId) + L".kpxtmp");
    ASSERT_TRUE(WriteBytes(stale, "half a program"));

    CString error;
    ASSERT_TRUE(Extract(packagePath(), error)) << ToUtf8(error);
    EXPECT_EQ(program, ReadBytes(target()));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(stale.c_str()));
    EXPECT_EQ("being written", ReadBytes(live));
}

TEST_F(PackageExtract, StoredContentIsNotPlainInThePackage) {
    EXPECT_EQ(std::string::npos, valid.find(program.substr(1000, 64)));
}

TEST_F(PackageExtract, UnknownTablesAndFilesAreNamed) {
    CString error;
    EXPECT_FALSE(Extract(packagePath(), error, L"Kestrun.exe", L"DatFileInfo", L"Nope"));
    EXPECT_EQ(CString(L"no such table: Nope"), error);
    EXPECT_FALSE(Extract(packagePath(), error, L"Kestrun.exe", L"Info", L"FileDat"));
    EXPECT_EQ(CString(L"no such table: Info"), error);
    EXPECT_FALSE(Extract(packagePath(), error, L"Missing.exe"));
    EXPECT_EQ(CString(L"程序包中没有此文件：Missing.exe"), error);
    EXPECT_EQ("previous", ReadBytes(target()));
}

TEST_F(PackageExtract, WrongPasswordIsRefused) {
    CString error;
    EXPECT_FALSE(Extract(packagePath(), error, L"Kestrun.exe", L"DatFileInfo", L"FileDat", L"73kvd_204518"));
    EXPECT_EQ(CString(L"程序包密码错误。"), error);
    EXPECT_FALSE(Extract(packagePath(), error, L"Kestrun.exe", L"DatFileInfo", L"FileDat", L""));
    EXPECT_EQ("previous", ReadBytes(target()));
}

TEST_F(PackageExtract, MissingPackageOrFolderIsRefused) {
    CString error;
    EXPECT_FALSE(Extract(sourceDir.file(L"absent.da"), error));
    EXPECT_EQ(0, error.Find(L"无法打开程序包（错误 "));
    EXPECT_FALSE(holder.ExtractFile(packagePath().c_str(), L"73kvd_204519", L"DatFileInfo", L"FileDat",
                                    targetDir.file(L"no-such-folder").c_str(), L"Kestrun.exe", error));
    EXPECT_EQ(CString(L"目标文件夹不存在。"), error);
}

TEST_F(PackageExtract, TruncatedPackagesAreRefused) {
    const size_t cuts[] = {0, 7, 47, 100, EntryAt(2) + 5, valid.size() / 2, valid.size() - 1};
    for (size_t cut : cuts) ExpectRefused(valid.substr(0, cut), ("cut at " + std::to_string(cut)).c_str());
}

TEST_F(PackageExtract, DamagedHeaderAndDirectoryAreRefused) {
    std::string bytes = valid;
    bytes[0] = 'X';
    ExpectRefused(bytes, "magic", L"不是程序包文件。");

    bytes = valid;
    PutU32(bytes, 12, 0xFFFFFFFF);
    ExpectRefused(bytes, "table count");

    bytes = valid;
    std::memset(&bytes[EntryAt(1)], 'A', kestpak::kTableNameSize);
    ExpectRefused(bytes, "table name without end");

    bytes = valid;
    PutU64(bytes, EntryAt(1) + 32, valid.size() + 1);
    ExpectRefused(bytes, "data table behind the end");

    bytes = valid;
    PutU64(bytes, EntryAt(1) + 40, ~0ull);
    ExpectRefused(bytes, "data table size wraps around");

    bytes = valid;
    PutU64(bytes, EntryAt(0) + 32, 3);
    ExpectRefused(bytes, "info table over the header");
}

TEST_F(PackageExtract, DamagedFileTableIsRefused) {
    const std::string md5(16, '\0');
    ExpectRefused(WithInfoTable(valid, std::string("\x01\0\0\0", 4) + std::string(300, 'N')), "name without end",
                  L"程序包文件表已损坏：文件名没有结束符。");
    ExpectRefused(WithInfoTable(valid, std::string("\x01\0\0\0", 4) + "Kestrun.exe"), "name ends with the table");
    ExpectRefused(WithInfoTable(valid, std::string("\xFF\xFF\xFF\xFF", 4) + InfoEntry("A", 0, 1, md5)),
                  "count larger than the entries");
    ExpectRefused(WithInfoTable(valid, std::string("\x01\0\0\0", 4) + InfoEntry("Kestrun.exe", ~0ull - 5, 10, md5)),
                  "entry offset outside", L"程序包文件表已损坏：条目超出数据表范围。");
    ExpectRefused(WithInfoTable(valid, std::string("\x01\0\0\0", 4) + InfoEntry("Kestrun.exe", 8, ~0ull, md5)),
                  "entry size wraps around", L"程序包文件表已损坏：条目超出数据表范围。");
    ExpectRefused(WithInfoTable(valid, std::string("\x01\0", 2)), "table shorter than its count");
}

TEST_F(PackageExtract, DamagedContentFailsTheDigestAndKeepsTheOldFile) {
    std::string bytes = valid;
    const uint64_t dataOffset = GetU64(valid, EntryAt(1) + 32);
    bytes[static_cast<size_t>(dataOffset) + 2 * kestpak::kBufferSize + 3] ^= 0x40;
    ExpectRefused(bytes, "flipped bit", L"文件校验失败：Kestrun.exe");
}

TEST_F(PackageExtract, NamesThatLeaveTheTargetFolderAreRefused) {
    // A package that really stores such names, asked for them by name.
    const std::string evilNames[] = {"..\\evil.exe", "../evil.exe", "sub\\evil.exe", "C:evil.exe", "..", "a:b"};
    std::vector<kestpak::SourceFile> files;
    for (const std::string& name : evilNames) files.push_back({name, sourceDir.file(L"other.bin")});
    std::string error;
    ASSERT_TRUE(kestpak::BuildPackage(sourceDir.file(L"evil.da"), kPassword, "DatFileInfo", "FileDat", files, error));
    for (const std::string& name : evilNames) {
        SCOPED_TRACE(name);
        CString text;
        EXPECT_FALSE(Extract(sourceDir.file(L"evil.da"), text, NarrowToWide(name.c_str())));
        EXPECT_EQ(0, text.Find(L"文件名无效："));
    }
    CString text;
    EXPECT_FALSE(Extract(packagePath(), text, L""));
    EXPECT_FALSE(Extract(packagePath(), text, L"Kestrun.exe\\"));
    // Nothing landed beside or above the target folder.
    const std::wstring parent = targetDir.path().substr(0, targetDir.path().find_last_of(L'\\'));
    EXPECT_EQ(0, CountFiles(parent, L"evil.exe"));
    EXPECT_EQ(0, CountFiles(targetDir.path(), L"evil.exe"));
    EXPECT_EQ(0, CountFiles(targetDir.path(), L"*.kpxtmp"));
}

// A package of more than 2 GiB through the 32-bit process. Slow (minutes under Wine),
// so it runs only when VELMORA_LARGE_TESTS is set.
TEST_F(PackageExtract, LargePackageStreamsThroughTheBuffer) {
    if (!GetEnvironmentVariableW(L"VELMORA_LARGE_TESTS", nullptr, 0)) GTEST_SKIP() << "set VELMORA_LARGE_TESTS=1";
    const std::wstring big = sourceDir.file(L"big.bin");
    {
        UniqueFile file(CreateFileW(big.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(file);
        LARGE_INTEGER size;
        size.QuadPart = (2ll << 30) + 4097;
        ASSERT_TRUE(SetFilePointerEx(file.get(), size, nullptr, FILE_BEGIN));
        ASSERT_TRUE(SetEndOfFile(file.get()));
        size.QuadPart -= 5;
        ASSERT_TRUE(SetFilePointerEx(file.get(), size, nullptr, FILE_BEGIN));
        DWORD written = 0;
        ASSERT_TRUE(WriteFile(file.get(), "tail", 4, &written, nullptr));
    }
    std::string error;
    ASSERT_TRUE(kestpak::BuildPackage(sourceDir.file(L"big.da"), kPassword, "DatFileInfo", "FileDat",
                                      {{"Kestrun.exe", big}}, error))
        << error;
    DeleteFileW(big.c_str());
    CString text;
    ASSERT_TRUE(Extract(sourceDir.file(L"big.da"), text)) << ToUtf8(text);
    WIN32_FILE_ATTRIBUTE_DATA data;
    ASSERT_TRUE(GetFileAttributesExW(target().c_str(), GetFileExInfoStandard, &data));
    EXPECT_EQ((2ull << 30) + 4097, (uint64_t(data.nFileSizeHigh) << 32) | data.nFileSizeLow);
    UniqueFile file(CreateFileW(target().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(file);
    LARGE_INTEGER at;
    at.QuadPart = (2ll << 30) + 4092;
    ASSERT_TRUE(SetFilePointerEx(file.get(), at, nullptr, FILE_BEGIN));
    char tail[5] = {};
    DWORD got = 0;
    ASSERT_TRUE(ReadFile(file.get(), tail, 5, &got, nullptr));
    EXPECT_EQ(std::string("tail", 4) + std::string(1, '\0'), std::string(tail, got));
}

}  // namespace
