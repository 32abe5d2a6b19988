#include "util/RegistryVersion.h"

#include <cstdio>
#include <string>
#include <vector>

#include "framework/Codepage.h"
#include "framework/Handles.h"

namespace {
const wchar_t kNetFx4Key[] = L"SOFTWARE\\Microsoft\\NET Framework Setup\\NDP\\v4\\Full";
const wchar_t kNetFx4Value[] = L"Install";
const wchar_t kVcRuntimeKey[] = L"SOFTWARE\\Microsoft\\DevDiv\\vc\\Servicing\\14.0\\RuntimeMinimum";
const wchar_t kVcRuntimeValue[] = L"Version";
const wchar_t kVcRuntimeMinimum[] = L"14.0.23026";
const DWORD kVersionChars = MAX_PATH;
}  // namespace

// Both probes open their key with KEY_READ and no view flag: the launcher is a 32-bit
// process, so on 64-bit Windows they read the 32-bit view, where the x86 runtimes
// register themselves.
int IsNetFramework4Installed() {
    UniqueRegKey key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kNetFx4Key, 0, KEY_READ, key.put()) != ERROR_SUCCESS) return 0;
    DWORD type = 0;
    DWORD value = 0;
    DWORD size = sizeof value;
    LSTATUS status = RegQueryValueExW(key.get(), kNetFx4Value, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size);
    key.reset();
    return (status == ERROR_SUCCESS && type == REG_DWORD && value == 1) ? 1 : 0;
}

int IsVcRuntimeInstalled() {
    UniqueRegKey key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kVcRuntimeKey, 0, KEY_READ, key.put()) != ERROR_SUCCESS) return 0;
    // Whatever the value's type, its data is read as UTF-16 text that ends at the first
    // zero character or at the end of the data. One spare character keeps the buffer
    // terminated even when the data fills it.
    wchar_t buffer[kVersionChars + 1] = {};
    DWORD size = kVersionChars * sizeof(wchar_t);
    LSTATUS status = RegQueryValueExW(key.get(), kVcRuntimeValue, nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &size);
    key.reset();
    if (status != ERROR_SUCCESS) return 0;
    buffer[size / sizeof(wchar_t)] = L'\0';
    return VersionNumber(CString(buffer)) >= VersionNumber(CString(kVcRuntimeMinimum)) ? 1 : 0;
}

int VersionNumber(const CString& text) {
    // A weighted sum, not a field-by-field comparison; the fourth field is read and
    // ignored, and a field the text lacks counts as 0.
    std::string narrow = WideToNarrow(text.GetString(), CP_THREAD_ACP);
    int first = 0, second = 0, third = 0, fourth = 0;
    std::sscanf(narrow.c_str(), "%d.%d.%d.%d", &first, &second, &third, &fourth);
    // Computed without signed overflow; an absurd version wraps instead of being undefined.
    unsigned sum = static_cast<unsigned>(first) * 10000u + static_cast<unsigned>(second) * 1000u +
                   static_cast<unsigned>(third);
    return static_cast<int>(sum);
}

CString GetLauncherFileVersion() {
    wchar_t path[MAX_PATH] = {};
    DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return CString();

    DWORD handle = 0;
    DWORD size = GetFileVersionInfoSizeW(path, &handle);
    if (size == 0) return CString();
    std::vector<BYTE> block(size);
    if (!GetFileVersionInfoW(path, 0, size, block.data())) return CString();

    VS_FIXEDFILEINFO* info = nullptr;
    UINT infoSize = 0;
    if (!VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&info), &infoSize) || !info ||
        infoSize < sizeof(VS_FIXEDFILEINFO)) {
        return CString();
    }
    CString version;
    version.Format(L"%d.%d.%d.%d", HIWORD(info->dwFileVersionMS), LOWORD(info->dwFileVersionMS),
                   HIWORD(info->dwFileVersionLS), LOWORD(info->dwFileVersionLS));
    return version;
}
