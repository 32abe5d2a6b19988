#include "util/FileHelpers.h"

#include <shlwapi.h>

#include <cstring>
#include <exception>
#include <vector>

#include "framework/Codepage.h"
#include "framework/Handles.h"

CString JoinPath(const CString& dir, const CString& name) {
    // PathCombineW leaves the buffer empty when the result would not fit into MAX_PATH,
    // which is exactly the "cannot be combined" answer.
    wchar_t buffer[MAX_PATH] = {};
    PathCombineW(buffer, dir, name);
    return CString(buffer);
}

bool FileExists(const CString& path) {
    if (path.IsEmpty() || path.GetLength() >= MAX_PATH) return false;
    wchar_t full[MAX_PATH] = {};
    DWORD length = GetFullPathNameW(path, MAX_PATH, full, nullptr);
    if (length == 0 || length >= MAX_PATH) return false;
    WIN32_FILE_ATTRIBUTE_DATA data;
    return GetFileAttributesExW(full, GetFileExInfoStandard, &data) != FALSE;
}

bool CanWriteInFolder(const CString& folder) {
    for (unsigned attempt = 0; attempt < 4; ++attempt) {
        CString name;
        name.Format(L"~velmora-%lu-%u.tmp", GetCurrentProcessId(), attempt);
        // Deleted when the handle closes, also should the process die right here.
        UniqueFile probe(CreateFileW(JoinPath(folder, name), GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW,
                                     FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE,
                                     nullptr));
        if (probe) return true;
        const DWORD error = GetLastError();
        if (error == ERROR_ACCESS_DENIED || error == ERROR_WRITE_PROTECT) return false;
        if (error != ERROR_FILE_EXISTS) return true;
    }
    return true;
}

namespace {
// Reads up to `size` bytes, stopping early at the end of the file or on a read error;
// returns how many arrived.
DWORD ReadUpTo(HANDLE file, void* target, DWORD size) {
    BYTE* out = static_cast<BYTE*>(target);
    DWORD total = 0;
    while (total < size) {
        DWORD got = 0;
        if (!ReadFile(file, out + total, size - total, &got, nullptr) || got == 0) break;
        total += got;
    }
    return total;
}
}  // namespace

CString ReadStringFile(const CString& path, CString& errorText) {
    if (path.IsEmpty()) {
        errorText = L"路径为空。";
        return CString();
    }
    if (!FileExists(path)) {
        errorText = L"文件不存在。";
        return CString();
    }
    try {
        // Opened by its wide path, so that a folder whose name the ANSI code page cannot
        // spell is as readable as any other. Others may go on reading and writing it.
        UniqueFile file(CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file) {
            errorText = L"打开文件失败。";
            return CString();
        }

        // Little-endian signed length; a file shorter than 4 bytes leaves the missing
        // high bytes zero.
        BYTE prefix[4] = {};
        ReadUpTo(file.get(), prefix, sizeof prefix);
        INT32 length = 0;
        std::memcpy(&length, prefix, sizeof length);

        CString text;
        if (length > 0) {
            // The length field is only believed as far as the file holds bytes: a file that
            // ends before its text does is incomplete, and nothing is allocated for bytes
            // that are not there.
            LARGE_INTEGER size = {};
            if (!GetFileSizeEx(file.get(), &size) || size.QuadPart - 4 < length) {
                errorText = L"文件内容不完整。";
                return CString();
            }
            std::vector<char> bytes(static_cast<size_t>(length), '\0');
            if (ReadUpTo(file.get(), bytes.data(), static_cast<DWORD>(length)) != static_cast<DWORD>(length)) {
                errorText = L"文件内容不完整。";
                return CString();
            }
            text = NarrowToWide(bytes.data(), length, CP_THREAD_ACP);
        }
        return text;
    } catch (const std::exception& e) {
        // Typically the length is too large to allocate.
        errorText = NarrowToWide(e.what());
        return CString();
    }
}
