#include "Registry.h"

#include "framework/Handles.h"

const wchar_t kNetFx4Key[] = L"SOFTWARE\\Microsoft\\NET Framework Setup\\NDP\\v4\\Full";
const wchar_t kVcRuntimeKey[] = L"SOFTWARE\\Microsoft\\DevDiv\\vc\\Servicing\\14.0\\RuntimeMinimum";

namespace {
// The shallowest part of subKey that does not exist yet (empty when the key exists).
std::wstring FirstMissingKey(HKEY root, const std::wstring& subKey, REGSAM view) {
    size_t pos = 0;
    for (;;) {
        size_t slash = subKey.find(L'\\', pos);
        std::wstring prefix = subKey.substr(0, slash);
        UniqueRegKey key;
        if (RegOpenKeyExW(root, prefix.c_str(), 0, KEY_READ | view, key.put()) != ERROR_SUCCESS) return prefix;
        if (slash == std::wstring::npos) return L"";
        pos = slash + 1;
    }
}
}  // namespace

ScopedRegistryValue::ScopedRegistryValue(HKEY root, const std::wstring& subKey, const std::wstring& name, DWORD type,
                                         const void* data, DWORD size, REGSAM view)
    : m_root(root), m_subKey(subKey), m_name(name), m_view(view) {
    m_createdFrom = FirstMissingKey(root, subKey, view);
    UniqueRegKey key;
    if (RegCreateKeyExW(root, subKey.c_str(), 0, nullptr, 0, KEY_READ | KEY_WRITE | view, nullptr, key.put(),
                        nullptr) != ERROR_SUCCESS)
        return;
    m_active = true;
    DWORD oldSize = 0;
    if (RegQueryValueExW(key.get(), name.c_str(), nullptr, &m_oldType, nullptr, &oldSize) == ERROR_SUCCESS) {
        m_oldData.resize(oldSize);
        RegQueryValueExW(key.get(), name.c_str(), nullptr, &m_oldType, m_oldData.empty() ? nullptr : m_oldData.data(),
                         &oldSize);
        m_hadValue = true;
    }
    if (data) {
        m_ok = RegSetValueExW(key.get(), name.c_str(), 0, type, static_cast<const BYTE*>(data), size) == ERROR_SUCCESS;
    } else {
        LONG r = RegDeleteValueW(key.get(), name.c_str());
        m_ok = r == ERROR_SUCCESS || r == ERROR_FILE_NOT_FOUND;
    }
}

ScopedRegistryValue ScopedRegistryValue::String(HKEY root, const std::wstring& subKey, const std::wstring& name,
                                                const std::wstring& value, REGSAM view) {
    return ScopedRegistryValue(root, subKey, name, REG_SZ, value.c_str(),
                               static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)), view);
}

ScopedRegistryValue ScopedRegistryValue::Dword(HKEY root, const std::wstring& subKey, const std::wstring& name,
                                               DWORD value, REGSAM view) {
    return ScopedRegistryValue(root, subKey, name, REG_DWORD, &value, sizeof value, view);
}

ScopedRegistryValue ScopedRegistryValue::Absent(HKEY root, const std::wstring& subKey, const std::wstring& name,
                                                REGSAM view) {
    return ScopedRegistryValue(root, subKey, name, REG_NONE, nullptr, 0, view);
}

ScopedRegistryValue::ScopedRegistryValue(ScopedRegistryValue&& other) noexcept
    : m_root(other.m_root),
      m_subKey(std::move(other.m_subKey)),
      m_name(std::move(other.m_name)),
      m_createdFrom(std::move(other.m_createdFrom)),
      m_view(other.m_view),
      m_hadValue(other.m_hadValue),
      m_oldType(other.m_oldType),
      m_oldData(std::move(other.m_oldData)),
      m_ok(other.m_ok),
      m_active(other.m_active) {
    other.m_active = false;
}

ScopedRegistryValue::~ScopedRegistryValue() {
    if (!m_active) return;
    if (!m_createdFrom.empty()) {
        // Opened in the same view it was created in, emptied, then removed itself.
        UniqueRegKey created;
        if (RegOpenKeyExW(m_root, m_createdFrom.c_str(), 0, KEY_ALL_ACCESS | m_view, created.put()) == ERROR_SUCCESS)
            RegDeleteTreeW(created.get(), nullptr);
        created.reset();
        RegDeleteKeyExW(m_root, m_createdFrom.c_str(), m_view, 0);
        return;
    }
    UniqueRegKey key;
    if (RegOpenKeyExW(m_root, m_subKey.c_str(), 0, KEY_WRITE | m_view, key.put()) != ERROR_SUCCESS) return;
    if (m_hadValue) {
        RegSetValueExW(key.get(), m_name.c_str(), 0, m_oldType, m_oldData.empty() ? nullptr : m_oldData.data(),
                       static_cast<DWORD>(m_oldData.size()));
    } else {
        RegDeleteValueW(key.get(), m_name.c_str());
    }
}

namespace {
const wchar_t kAeDebugKey[] = L"Software\\Microsoft\\Windows NT\\CurrentVersion\\AeDebug";
}  // namespace

ScopedCrashDebuggerOff::ScopedCrashDebuggerOff()
    : m_debugger(ScopedRegistryValue::String(HKEY_LOCAL_MACHINE, kAeDebugKey, L"Debugger",
                                             L"velmora-no-crash-debugger.exe")),
      m_auto(ScopedRegistryValue::String(HKEY_LOCAL_MACHINE, kAeDebugKey, L"Auto", L"1")) {}

ScopedRuntimes::ScopedRuntimes(bool netFx4, const std::wstring& vcVersion)
    : m_netFx(netFx4 ? ScopedRegistryValue::Dword(HKEY_LOCAL_MACHINE, kNetFx4Key, L"Install", 1)
                     : ScopedRegistryValue::Absent(HKEY_LOCAL_MACHINE, kNetFx4Key, L"Install")),
      m_vc(vcVersion.empty() ? ScopedRegistryValue::Absent(HKEY_LOCAL_MACHINE, kVcRuntimeKey, L"Version")
                             : ScopedRegistryValue::String(HKEY_LOCAL_MACHINE, kVcRuntimeKey, L"Version", vcVersion)) {}
