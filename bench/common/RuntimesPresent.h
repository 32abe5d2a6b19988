#pragma once
// Makes the two runtimes the launcher asks for look installed while a benchmark runs, and
// removes what it added afterwards.
#include <windows.h>

class RuntimesPresent {
public:
    RuntimesPresent() {
        m_netCreated = Set(kNetFx4Key, L"Install", REG_DWORD, &m_one, sizeof m_one);
        const wchar_t version[] = L"14.40.33810.0";
        m_vcCreated = Set(kVcRuntimeKey, L"Version", REG_SZ, version, sizeof version);
    }
    ~RuntimesPresent() {
        if (m_netCreated) RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kNetFx4Key, L"Install");
        if (m_vcCreated) RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kVcRuntimeKey, L"Version");
    }

private:
    static constexpr const wchar_t* kNetFx4Key = L"SOFTWARE\\Microsoft\\NET Framework Setup\\NDP\\v4\\Full";
    static constexpr const wchar_t* kVcRuntimeKey = L"SOFTWARE\\Microsoft\\DevDiv\\vc\\Servicing\\14.0\\RuntimeMinimum";

    // True when the value did not exist and was added.
    static bool Set(const wchar_t* key, const wchar_t* name, DWORD type, const void* data, DWORD size) {
        if (RegGetValueW(HKEY_LOCAL_MACHINE, key, name, RRF_RT_ANY, nullptr, nullptr, nullptr) == ERROR_SUCCESS)
            return false;
        return RegSetKeyValueW(HKEY_LOCAL_MACHINE, key, name, type, data, size) == ERROR_SUCCESS;
    }
    DWORD m_one = 1;
    bool m_netCreated = false;
    bool m_vcCreated = false;
};

