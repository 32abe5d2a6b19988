#include "KestpakFormat.h"

#include <wincrypt.h>

#include <cstring>

#include "Md5.h"
#include "framework/Handles.h"

namespace kestpak {

namespace {

constexpr size_t kEntryFixedSize = 8 + 8 + 16;  // offset, size, MD5 after the name
const char kCheckSuffix[] = "KSTPAK-CHECK";

uint64_t SplitMix64(uint64_t z) {
    z += 0x9E3779B97F4A7C15ull;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

uint32_t GetU32(const uint8_t* p) {
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}
uint64_t GetU64(const uint8_t* p) { return uint64_t(GetU32(p)) | (uint64_t(GetU32(p + 4)) << 32); }
void PutU32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}
void PutU64(uint8_t* p, uint64_t v) {
    for (int i = 0; i < 8; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

std::string ErrorCode(const char* what, DWORD code) { return std::string(what) + " (error " + std::to_string(code) + ")"; }

// Extraction's error texts reach the user inside the launcher's boxes, so they are
// Chinese, handed over in the caller's ANSI code page like every narrow text here. Only
// the texts in the style of the real component's database ("no such table: ...") stay as
// they are: the launcher recognises those and shows a neutral message instead.
std::string Text(const std::wstring& wide) {
    const int needed =
        WideCharToMultiByte(CP_THREAD_ACP, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
    std::string narrow(static_cast<size_t>(needed > 0 ? needed : 0), '\0');
    if (needed > 0) {
        WideCharToMultiByte(CP_THREAD_ACP, 0, wide.data(), static_cast<int>(wide.size()), &narrow[0], needed, nullptr,
                            nullptr);
    }
    return narrow;
}
std::string TextWithCode(const wchar_t* what, DWORD code) {
    return Text(std::wstring(what) + L"（错误 " + std::to_wstring(code) + L"）。");
}

// The caller's narrow text (thread ANSI code page) as a wide string; false when it is
// not valid text in that code page.
bool Widen(const std::string& text, std::wstring& wide) {
    wide.clear();
    if (text.empty()) return true;
    const int needed = MultiByteToWideChar(CP_THREAD_ACP, MB_ERR_INVALID_CHARS, text.data(),
                                           static_cast<int>(text.size()), nullptr, 0);
    if (needed <= 0) return false;
    wide.resize(static_cast<size_t>(needed));
    MultiByteToWideChar(CP_THREAD_ACP, MB_ERR_INVALID_CHARS, text.data(), static_cast<int>(text.size()), &wide[0],
                        needed);
    return true;
}

// A bare file name that cannot leave the target folder: no separators, no drive or
// stream colon, no "..", no characters that Windows refuses in names.
bool IsSafeFileName(const std::wstring& name) {
    if (name.empty() || name.size() > 255) return false;
    if (name.find(L"..") != std::wstring::npos) return false;
    for (wchar_t ch : name) {
        if (ch < 0x20 || std::wcschr(L"\\/:*?\"<>|", ch)) return false;
    }
    return name.back() != L'.' && name.back() != L' ';
}

bool SeekTo(HANDLE file, uint64_t offset) {
    LARGE_INTEGER to;
    to.QuadPart = static_cast<LONGLONG>(offset);
    return SetFilePointerEx(file, to, nullptr, FILE_BEGIN) != FALSE;
}

// Reads exactly `size` bytes from the current position; false on error or early end.
bool ReadExact(HANDLE file, uint8_t* data, size_t size) {
    while (size > 0) {
        const DWORD want = size > kBufferSize ? static_cast<DWORD>(kBufferSize) : static_cast<DWORD>(size);
        DWORD got = 0;
        if (!ReadFile(file, data, want, &got, nullptr) || got == 0) return false;
        data += got;
        size -= got;
    }
    return true;
}

bool WriteExact(HANDLE file, const uint8_t* data, size_t size) {
    while (size > 0) {
        DWORD written = 0;
        if (!WriteFile(file, data, static_cast<DWORD>(size), &written, nullptr) || written == 0) return false;
        data += written;
        size -= written;
    }
    return true;
}

// Deletes a temporary file unless it was handed over.
class TempFileGuard {
public:
    explicit TempFileGuard(std::wstring path) : m_path(std::move(path)) {}
    ~TempFileGuard() {
        if (!m_path.empty()) DeleteFileW(m_path.c_str());
    }
    TempFileGuard(const TempFileGuard&) = delete;
    TempFileGuard& operator=(const TempFileGuard&) = delete;
    void Release() { m_path.clear(); }

private:
    std::wstring m_path;
};

// Temporary files of an extraction are named "<file>.<pid of the writer>.kpxtmp". One
// left behind by a writer that was killed is removed by the next extraction into the
// folder: only when its writer is gone, so a live extraction's file is never touched.
const wchar_t kTempSuffix[] = L".kpxtmp";

std::wstring TempFileName(const std::wstring& name) {
    return name + L"." + std::to_wstring(GetCurrentProcessId()) + kTempSuffix;
}

// The writer's pid from a temporary file's name; 0 when the name has none.
DWORD WriterOf(const std::wstring& name) {
    const size_t suffixLength = sizeof kTempSuffix / sizeof kTempSuffix[0] - 1;
    if (name.size() <= suffixLength || _wcsicmp(name.c_str() + name.size() - suffixLength, kTempSuffix) != 0) return 0;
    const size_t suffix = name.size() - suffixLength;
    const size_t dot = name.rfind(L'.', suffix - 1);
    if (dot == std::wstring::npos || dot + 1 >= suffix || suffix - dot - 1 > 10) return 0;
    unsigned long long pid = 0;
    for (size_t i = dot + 1; i < suffix; ++i) {
        if (name[i] < L'0' || name[i] > L'9') return 0;
        pid = pid * 10 + (name[i] - L'0');
    }
    return pid <= 0xFFFFFFFFull ? static_cast<DWORD>(pid) : 0;
}

bool ProcessHasEnded(DWORD pid) {
    UniqueHandle process(OpenProcess(SYNCHRONIZE, FALSE, pid));
    if (!process) return GetLastError() == ERROR_INVALID_PARAMETER;  // no such process
    return WaitForSingleObject(process.get(), 0) == WAIT_OBJECT_0;
}

void RemoveStaleTempFiles(const std::wstring& dir) {
    WIN32_FIND_DATAW found;
    UniqueFind find(FindFirstFileW((dir + L"\\*" + kTempSuffix).c_str(), &found));
    if (!find) return;
    do {
        const std::wstring name = found.cFileName;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
        const DWORD writer = WriterOf(name);
        if (writer == 0 || writer == GetCurrentProcessId() || !ProcessHasEnded(writer)) continue;
        DeleteFileW((dir + L"\\" + name).c_str());  // fails, harmlessly, while someone holds it
    } while (FindNextFileW(find.get(), &found));
}

// Replaces the target in one step. Another program may hold the previous file open for a
// moment (a scanner looking at it, say): that is waited for, about two seconds at most.
bool ReplaceTarget(const std::wstring& from, const std::wstring& to) {
    for (DWORD pause = 10, waited = 0;; waited += pause, pause = pause < 200 ? pause * 2 : 400) {
        if (MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return true;
        const DWORD error = GetLastError();
        const bool inUse =
            error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION || error == ERROR_ACCESS_DENIED;
        if (!inUse || waited >= 2000) return false;
        Sleep(pause);
    }
}

struct TableRef {
    bool found = false;
    uint64_t offset = 0;
    uint64_t size = 0;
};

}  // namespace

void ApplyKeystream(uint64_t key, uint64_t position, uint8_t* data, size_t size) {
    uint64_t block = position >> 3;
    uint64_t word = SplitMix64(key ^ (block * 0xD1B54A32D192ED03ull));
    for (size_t i = 0; i < size; ++i, ++position) {
        if ((position >> 3) != block) {
            block = position >> 3;
            word = SplitMix64(key ^ (block * 0xD1B54A32D192ED03ull));
        }
        data[i] ^= static_cast<uint8_t>(word >> (8 * (position & 7)));
    }
}

uint64_t DeriveKey(const uint8_t salt[16], const std::string& password) {
    Md5 md5;
    md5.Update(salt, 16);
    md5.Update(password.data(), password.size());
    uint8_t digest[16];
    md5.Final(digest);
    return GetU64(digest);
}

void PasswordCheck(const uint8_t salt[16], const std::string& password, uint8_t check[16]) {
    Md5 md5;
    md5.Update(salt, 16);
    md5.Update(password.data(), password.size());
    md5.Update(kCheckSuffix, sizeof kCheckSuffix - 1);
    md5.Final(check);
}

bool ExtractFile(const std::string& packagePath, const std::string& password, const std::string& infoTable,
                 const std::string& dataTable, const std::string& targetDir, const std::string& fileName,
                 std::string& error) {
    std::wstring widePackage, wideDir, wideName;
    if (!Widen(fileName, wideName) || !IsSafeFileName(wideName)) {
        error = Text(L"文件名无效：") + fileName;
        return false;
    }
    if (!Widen(packagePath, widePackage) || !Widen(targetDir, wideDir) || widePackage.empty() || wideDir.empty()) {
        error = Text(L"路径无效。");
        return false;
    }
    if (wideDir.size() > 3 && wideDir.back() == L'\\') wideDir.pop_back();
    const DWORD dirAttributes = GetFileAttributesW(wideDir.c_str());
    if (dirAttributes == INVALID_FILE_ATTRIBUTES || !(dirAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        error = Text(L"目标文件夹不存在。");
        return false;
    }
    const std::wstring targetPath = wideDir + (wideDir.back() == L'\\' ? L"" : L"\\") + wideName;
    const std::wstring tempPath = wideDir + (wideDir.back() == L'\\' ? L"" : L"\\") + TempFileName(wideName);
    if (tempPath.size() >= MAX_PATH) {
        error = Text(L"目标路径过长。");
        return false;
    }

    UniqueFile package(CreateFileW(widePackage.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                   FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!package) {
        error = TextWithCode(L"无法打开程序包", GetLastError());
        return false;
    }
    LARGE_INTEGER fileSize;
    if (!GetFileSizeEx(package.get(), &fileSize)) {
        error = TextWithCode(L"无法读取程序包", GetLastError());
        return false;
    }
    const uint64_t packageSize = static_cast<uint64_t>(fileSize.QuadPart);

    uint8_t header[kHeaderSize];
    if (packageSize < kHeaderSize || !SeekTo(package.get(), 0) || !ReadExact(package.get(), header, kHeaderSize)) {
        error = Text(L"程序包不完整。");
        return false;
    }
    if (std::memcmp(header, kMagic, sizeof kMagic) != 0) {
        error = Text(L"不是程序包文件。");
        return false;
    }
    if (GetU32(header + 8) != kVersion) {
        error = Text(L"不支持的程序包版本：" + std::to_wstring(GetU32(header + 8)) + L"。");
        return false;
    }
    const uint32_t tableCount = GetU32(header + 12);
    if (tableCount == 0 || tableCount > kMaxTables) {
        error = Text(L"程序包文件头已损坏。");
        return false;
    }
    const uint64_t directoryEnd = kHeaderSize + uint64_t(tableCount) * kDirectoryEntrySize;
    if (directoryEnd > packageSize) {
        error = Text(L"程序包不完整。");
        return false;
    }
    const uint8_t* salt = header + 16;
    uint8_t check[16];
    PasswordCheck(salt, password, check);
    if (std::memcmp(check, header + 32, 16) != 0) {
        error = Text(L"程序包密码错误。");
        return false;
    }
    const uint64_t key = DeriveKey(salt, password);

    std::vector<uint8_t> directory(static_cast<size_t>(directoryEnd - kHeaderSize));
    if (!ReadExact(package.get(), directory.data(), directory.size())) {
        error = Text(L"程序包不完整。");
        return false;
    }
    TableRef info, data;
    for (uint32_t i = 0; i < tableCount; ++i) {
        const uint8_t* entry = directory.data() + size_t(i) * kDirectoryEntrySize;
        const void* end = std::memchr(entry, 0, kTableNameSize);
        if (!end) {
            error = Text(L"程序包表目录已损坏。");
            return false;
        }
        const std::string name(reinterpret_cast<const char*>(entry), static_cast<const uint8_t*>(end) - entry);
        TableRef table;
        table.found = true;
        table.offset = GetU64(entry + kTableNameSize);
        table.size = GetU64(entry + kTableNameSize + 8);
        if (table.offset < directoryEnd || table.offset > packageSize || table.size > packageSize - table.offset) {
            error = Text(L"程序包的表超出文件范围。");
            return false;
        }
        if (!info.found && name == infoTable) info = table;
        if (!data.found && name == dataTable) data = table;
    }
    if (!info.found) {
        error = "no such table: " + infoTable;
        return false;
    }
    if (!data.found) {
        error = "no such table: " + dataTable;
        return false;
    }
    if (info.size < 4 || info.size > kMaxInfoTableSize) {
        error = Text(L"程序包文件表已损坏。");
        return false;
    }

    std::vector<uint8_t> infoBytes(static_cast<size_t>(info.size));
    if (!SeekTo(package.get(), info.offset) || !ReadExact(package.get(), infoBytes.data(), infoBytes.size())) {
        error = Text(L"程序包不完整。");
        return false;
    }
    ApplyKeystream(key, info.offset, infoBytes.data(), infoBytes.size());

    const uint32_t entryCount = GetU32(infoBytes.data());
    size_t at = 4;
    bool found = false;
    uint64_t entryOffset = 0, entrySize = 0;
    uint8_t expected[16] = {};
    for (uint32_t i = 0; i < entryCount && !found; ++i) {
        const size_t left = infoBytes.size() - at;
        const size_t nameLimit = left < kMaxEntryName ? left : kMaxEntryName;
        const void* end = std::memchr(infoBytes.data() + at, 0, nameLimit);
        if (!end) {
            error = Text(L"程序包文件表已损坏：文件名没有结束符。");
            return false;
        }
        const size_t nameLength = static_cast<const uint8_t*>(end) - (infoBytes.data() + at);
        if (nameLength == 0 || left - nameLength - 1 < kEntryFixedSize) {
            error = Text(L"程序包文件表已损坏：条目不完整。");
            return false;
        }
        const std::string name(reinterpret_cast<const char*>(infoBytes.data() + at), nameLength);
        const uint8_t* fixed = infoBytes.data() + at + nameLength + 1;
        const uint64_t offset = GetU64(fixed);
        const uint64_t size = GetU64(fixed + 8);
        if (offset > data.size || size > data.size - offset) {
            error = Text(L"程序包文件表已损坏：条目超出数据表范围。");
            return false;
        }
        if (name == fileName) {
            found = true;
            entryOffset = offset;
            entrySize = size;
            std::memcpy(expected, fixed + 16, 16);
        }
        at += nameLength + 1 + kEntryFixedSize;
    }
    if (!found) {
        error = Text(L"程序包中没有此文件：") + fileName;
        return false;
    }

    // Write beside the target, then replace it in one step: the previous file stays
    // whole until the new one is complete and verified.
    RemoveStaleTempFiles(wideDir.back() == L'\\' ? wideDir.substr(0, wideDir.size() - 1) : wideDir);
    // The guard goes first so that it outlives the handle: a file still open could not
    // be deleted.
    TempFileGuard guard(tempPath);
    UniqueFile out(CreateFileW(tempPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                               nullptr));
    if (!out) {
        error = TextWithCode(L"无法在目标文件夹中创建临时文件", GetLastError());
        return false;
    }

    std::vector<uint8_t> buffer(kBufferSize);
    Md5 md5;
    uint64_t position = data.offset + entryOffset;
    uint64_t remaining = entrySize;
    if (!SeekTo(package.get(), position)) {
        error = Text(L"程序包不完整。");
        return false;
    }
    while (remaining > 0) {
        const size_t chunk = remaining > kBufferSize ? kBufferSize : static_cast<size_t>(remaining);
        if (!ReadExact(package.get(), buffer.data(), chunk)) {
            error = Text(L"程序包不完整。");
            return false;
        }
        ApplyKeystream(key, position, buffer.data(), chunk);
        md5.Update(buffer.data(), chunk);
        if (!WriteExact(out.get(), buffer.data(), chunk)) {
            error = TextWithCode(L"无法写入解压的文件", GetLastError());
            return false;
        }
        position += chunk;
        remaining -= chunk;
    }
    uint8_t actual[16];
    md5.Final(actual);
    if (std::memcmp(actual, expected, 16) != 0) {
        error = Text(L"文件校验失败：") + fileName;
        return false;
    }
    if (!FlushFileBuffers(out.get())) {
        error = TextWithCode(L"无法写入解压的文件", GetLastError());
        return false;
    }
    out.reset();
    if (!ReplaceTarget(tempPath, targetPath)) {
        error = TextWithCode(L"无法替换目标文件", GetLastError());
        return false;
    }
    guard.Release();
    return true;
}

bool BuildPackage(const std::wstring& packagePath, const std::string& password, const std::string& infoTable,
                  const std::string& dataTable, const std::vector<SourceFile>& files, std::string& error) {
    if (infoTable.empty() || dataTable.empty() || infoTable.size() >= kTableNameSize ||
        dataTable.size() >= kTableNameSize || infoTable == dataTable) {
        error = "invalid table names";
        return false;
    }
    for (const SourceFile& file : files) {
        if (file.storedName.empty() || file.storedName.size() >= kMaxEntryName ||
            file.storedName.find('\0') != std::string::npos) {
            error = "invalid stored name: " + file.storedName;
            return false;
        }
    }

    uint8_t header[kHeaderSize] = {};
    std::memcpy(header, kMagic, sizeof kMagic);
    PutU32(header + 8, kVersion);
    PutU32(header + 12, 2);
    {
        UniqueCryptProv provider;
        if (!CryptAcquireContextW(provider.put(), nullptr, nullptr, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT) ||
            !CryptGenRandom(provider.get(), 16, header + 16)) {
            error = ErrorCode("cannot make a salt", GetLastError());
            return false;
        }
    }
    PasswordCheck(header + 16, password, header + 32);
    const uint64_t key = DeriveKey(header + 16, password);

    const std::wstring partPath = packagePath + L".part";
    UniqueFile out(CreateFileW(partPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!out) {
        error = ErrorCode("cannot create the package", GetLastError());
        return false;
    }
    TempFileGuard guard(partPath);

    const uint64_t dataOffset = kHeaderSize + 2 * kDirectoryEntrySize;
    if (!SeekTo(out.get(), dataOffset)) {
        error = ErrorCode("cannot write the package", GetLastError());
        return false;
    }
    std::vector<uint8_t> infoBytes(4);
    PutU32(infoBytes.data(), static_cast<uint32_t>(files.size()));
    std::vector<uint8_t> buffer(kBufferSize);
    uint64_t position = dataOffset;
    for (const SourceFile& file : files) {
        UniqueFile in(CreateFileW(file.path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
        if (!in) {
            error = ErrorCode("cannot open a file to store", GetLastError());
            return false;
        }
        Md5 md5;
        const uint64_t start = position;
        for (;;) {
            DWORD got = 0;
            if (!ReadFile(in.get(), buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr)) {
                error = ErrorCode("cannot read a file to store", GetLastError());
                return false;
            }
            if (got == 0) break;
            md5.Update(buffer.data(), got);
            ApplyKeystream(key, position, buffer.data(), got);
            if (!WriteExact(out.get(), buffer.data(), got)) {
                error = ErrorCode("cannot write the package", GetLastError());
                return false;
            }
            position += got;
        }
        const size_t at = infoBytes.size();
        infoBytes.resize(at + file.storedName.size() + 1 + kEntryFixedSize);
        std::memcpy(infoBytes.data() + at, file.storedName.data(), file.storedName.size());
        uint8_t* fixed = infoBytes.data() + at + file.storedName.size() + 1;
        PutU64(fixed, start - dataOffset);
        PutU64(fixed + 8, position - start);
        md5.Final(fixed + 16);
    }
    if (infoBytes.size() > kMaxInfoTableSize) {
        error = "too many files";
        return false;
    }
    const uint64_t infoOffset = position;
    ApplyKeystream(key, infoOffset, infoBytes.data(), infoBytes.size());
    if (!WriteExact(out.get(), infoBytes.data(), infoBytes.size())) {
        error = ErrorCode("cannot write the package", GetLastError());
        return false;
    }

    uint8_t directory[2 * kDirectoryEntrySize] = {};
    std::memcpy(directory, infoTable.data(), infoTable.size());
    PutU64(directory + kTableNameSize, infoOffset);
    PutU64(directory + kTableNameSize + 8, infoBytes.size());
    std::memcpy(directory + kDirectoryEntrySize, dataTable.data(), dataTable.size());
    PutU64(directory + kDirectoryEntrySize + kTableNameSize, dataOffset);
    PutU64(directory + kDirectoryEntrySize + kTableNameSize + 8, infoOffset - dataOffset);
    if (!SeekTo(out.get(), 0) || !WriteExact(out.get(), header, sizeof header) ||
        !WriteExact(out.get(), directory, sizeof directory) || !FlushFileBuffers(out.get())) {
        error = ErrorCode("cannot write the package", GetLastError());
        return false;
    }
    out.reset();
    if (!MoveFileExW(partPath.c_str(), packagePath.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        error = ErrorCode("cannot replace the package", GetLastError());
        return false;
    }
    guard.Release();
    return true;
}

}  // namespace kestpak
