#include "util/FileDigest.h"

#include <mutex>
#include <vector>

#include "framework/Handles.h"

namespace {
// The file is hashed piece by piece as it is read, so memory use stays at this one
// buffer whatever the file's size (a 32-bit process could not hold a package of a
// gigabyte or more in one block). 256 KiB keeps the number of reads low enough that
// hashing runs at the speed of the digest itself.
const DWORD kReadChunk = 256 * 1024;
const DWORD kMd5Length = 16;

// One provider serves every digest of the run, on every thread: loading it costs more
// than hashing a small file. Hash objects themselves are never shared between threads.
HCRYPTPROV SharedProvider() {
    static UniqueCryptProv provider;
    static std::once_flag once;
    std::call_once(once, [] {
        if (!CryptAcquireContextW(provider.put(), nullptr, nullptr, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT)) {
            provider.reset();
        }
    });
    return provider.get();
}

CString HexUpper(const BYTE* value, DWORD length) {
    CString text;
    for (DWORD i = 0; i < length; ++i) text.AppendFormat(L"%02X", value[i]);
    return text;
}
}  // namespace

void PrepareDigestProvider() { SharedProvider(); }

CString GetOpenFileMd5(HANDLE file, DigestReading& reading) {
    reading.readError = 0;
    HCRYPTPROV provider = SharedProvider();
    if (!provider) return CString();
    UniqueCryptHash hash;
    if (!CryptCreateHash(provider, CALG_MD5, 0, 0, hash.put())) return CString();

    LARGE_INTEGER start = {};
    if (!SetFilePointerEx(file, start, nullptr, FILE_BEGIN)) return CString();
    std::vector<BYTE> buffer(kReadChunk);
    for (;;) {
        if (reading.cancel && reading.cancel->load()) return CString();
        DWORD got = 0;
        // A failing read ends the content like the end of the file: the digest is then
        // that of the bytes read so far, which matches no recorded digest. Why it failed
        // is kept: another program's lock on a range of the file is no damage.
        if (!reading.read(file, buffer.data(), kReadChunk, &got, nullptr)) {
            reading.readError = GetLastError();
            break;
        }
        if (got == 0) break;
        if (!CryptHashData(hash.get(), buffer.data(), got, 0)) return CString();
        if (reading.progress) reading.progress->done += got;
    }

    BYTE value[kMd5Length] = {};
    DWORD length = kMd5Length;
    if (!CryptGetHashParam(hash.get(), HP_HASHVAL, value, &length, 0) || length != kMd5Length) {
        return CString();
    }
    return HexUpper(value, kMd5Length);
}

CString GetFileMd5(const CString& path) {
    // Read sharing only: nobody may write the file while it is being hashed, and a file
    // that someone holds open for writing is not hashed at all.
    UniqueFile file(CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file) return CString();
    return GetOpenFileMd5(file.get());
}
