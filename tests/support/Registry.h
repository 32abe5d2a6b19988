#pragma once
// Registry values set in the test prefix for the length of a scope, then put back as they
// were (keys the scope had to create are removed again). Written from this 32-bit test
// program, so HKLM\SOFTWARE lands in the view a 32-bit launcher reads.
#include <windows.h>

#include <string>
#include <vector>

class ScopedRegistryValue {
public:
    // Sets `name` (empty for the key's default value) under root\subKey.
    ScopedRegistryValue(HKEY root, const std::wstring& subKey, const std::wstring& name, DWORD type,
                        const void* data, DWORD size, REGSAM view = 0);
    static ScopedRegistryValue String(HKEY root, const std::wstring& subKey, const std::wstring& name,
                                      const std::wstring& value, REGSAM view = 0);
    static ScopedRegistryValue Dword(HKEY root, const std::wstring& subKey, const std::wstring& name, DWORD value,
                                     REGSAM view = 0);
    // Removes the value for the scope (restored afterwards).
    static ScopedRegistryValue Absent(HKEY root, const std::wstring& subKey, const std::wstring& name,
                                      REGSAM view = 0);
    ScopedRegistryValue(ScopedRegistryValue&& other) noexcept;
    ScopedRegistryValue(const ScopedRegistryValue&) = delete;
    ScopedRegistryValue& operator=(const ScopedRegistryValue&) = delete;
    ~ScopedRegistryValue();

    bool ok() const { return m_ok; }

private:
    ScopedRegistryValue() = default;
    HKEY m_root = nullptr;
    std::wstring m_subKey, m_name, m_createdFrom;
    REGSAM m_view = 0;
    bool m_hadValue = false;
    DWORD m_oldType = 0;
    std::vector<BYTE> m_oldData;
    bool m_ok = false;
    bool m_active = false;
};

extern const wchar_t kNetFx4Key[];
extern const wchar_t kVcRuntimeKey[];

// Wine's crash debugger off for the scope: a program that crashes ends at once with its
// exception code instead of waiting in the debugger until the test's time runs out.
class ScopedCrashDebuggerOff {
public:
    ScopedCrashDebuggerOff();

private:
    ScopedRegistryValue m_debugger;
    ScopedRegistryValue m_auto;
};

// The two runtimes the launcher asks for, present (by default) for the scope.
class ScopedRuntimes {
public:
    explicit ScopedRuntimes(bool netFx4 = true, const std::wstring& vcVersion = L"14.40.33810.0");

private:
    ScopedRegistryValue m_netFx;
    ScopedRegistryValue m_vc;
};
