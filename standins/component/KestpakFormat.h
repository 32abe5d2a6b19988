#pragma once
// The program package format (Kestpak.da): a header with a password check and a table
// directory, a data table holding the stored files one after another, and an
// information table naming each file with its size, place and MD5. Table contents are
// masked with a keystream derived from the password. The layout is described in
// docs/package-format.md.
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace kestpak {

constexpr char kMagic[8] = {'K', 'S', 'T', 'P', 'A', 'K', '\r', '\n'};
constexpr uint32_t kVersion = 1;
constexpr uint32_t kMaxTables = 16;
constexpr size_t kTableNameSize = 32;       // zero-terminated, zero-padded
constexpr size_t kHeaderSize = 48;          // magic, version, table count, salt, check
constexpr size_t kDirectoryEntrySize = 48;  // name, offset, size
constexpr size_t kMaxEntryName = 260;       // bytes of a stored name, terminator included
constexpr uint64_t kMaxInfoTableSize = 16u * 1024 * 1024;
constexpr size_t kBufferSize = 64 * 1024;   // every file goes through a buffer of this size

// Masks (or unmasks: the operation is its own inverse) `size` bytes that stand at
// `position` in the package file.
void ApplyKeystream(uint64_t key, uint64_t position, uint8_t* data, size_t size);
// The keystream key and the password check of a package with this salt.
uint64_t DeriveKey(const uint8_t salt[16], const std::string& password);
void PasswordCheck(const uint8_t salt[16], const std::string& password, uint8_t check[16]);

// Writes the file `storedName` of the package into `targetDir` (which must exist), going
// through a temporary file in that folder that replaces the target in one step, so that
// on failure the previous file stays. Names are the caller's narrow text (thread ANSI
// code page). False with a reason in `error` on any failure.
bool ExtractFile(const std::string& packagePath, const std::string& password, const std::string& infoTable,
                 const std::string& dataTable, const std::string& targetDir, const std::string& fileName,
                 std::string& error);

struct SourceFile {
    std::string storedName;  // name inside the package (narrow)
    std::wstring path;       // where the content is read from
};

// Writes a package holding `files` under the two table names; replaces `packagePath`.
bool BuildPackage(const std::wstring& packagePath, const std::string& password, const std::string& infoTable,
                  const std::string& dataTable, const std::vector<SourceFile>& files, std::string& error);

}  // namespace kestpak
