#include "util/FileDigest.h"

#include <vector>

#include "framework/Handles.h"

namespace {
// The file is hashed piece by piece as it is read, so memory use stays at this one
// buffer whatever the file's size (a 32-bit process could not hold a package of a
// gigabyte or more in one block). 256 KiB keeps the number of reads low enough that
// hashing runs at the speed of the digest itself.
const DWORD kReadChunk = 256 * 1024;
const DWORD kMd5Length = 16;
}  // namespace

CString GetFileMd5(const CString& path) {
    // Read sharing only: nobody may write the file while it is being hashed, and a file
    // that someone holds open for writing is not hashed at all.
    UniqueFile file(CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return CString();

    UniqueCryptProv provider;
    if (!CryptAcquireContextW(provider.put(), nullptr, nullptr, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT)) {
        return CString();
    }
    UniqueCryptHash hash;
    if (!CryptCreateHash(provider.get(), CALG_MD5, 0, 0, hash.put())) return CString();

    std::vector<BYTE> buffer(kReadChunk);
    for (;;) {
        DWORD got = 0;
        // A failing read ends the content like the end of the file: the digest is then
        // that of the bytes read so far, which matches no recorded digest.
        if (!ReadFile(file.get(), buffer.data(), kReadChunk, &got, nullptr) || got == 0) break;
        if (!CryptHashData(hash.get(), buffer.data(), got, 0)) return CString();
    }
    file.reset();

    BYTE value[kMd5Length] = {};
    DWORD length = kMd5Length;
    if (!CryptGetHashParam(hash.get(), HP_HASHVAL, value, &length, 0) || length != kMd5Length) {
        return CString();
    }

    CString text;
    for (DWORD i = 0; i < kMd5Length; ++i) text.AppendFormat(L"%02x", value[i]);
    text.MakeUpper();
    return text;
}
