// The runtime probes against real values in the test prefix, the version rule, and the
// launcher's own file version.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "BuildSettings.h"
#include "framework/Codepage.h"
#include "framework/Handles.h"
#include "support/TestSupport.h"
#include "util/RegistryVersion.h"
#include "PrintCString.h"

namespace {

const wchar_t kNetFx4Key[] = L"SOFTWARE\\Microsoft\\NET Framework Setup\\NDP\\v4\\Full";
const wchar_t kVcRuntimeKey[] = L"SOFTWARE\\Microsoft\\DevDiv\\vc\\Servicing\\14.0\\RuntimeMinimum";

// Remembers one HKLM value (in one registry view) and puts it back as it was when the
// scope ends: the old data restored, or the value deleted, and the keys that did not
// exist before removed again.
class RegistryValueRestorer {
public:
    RegistryValueRestorer(const std::wstring& subKey, const std::wstring& name, REGSAM view = 0)
        : m_subKey(subKey), m_name(name), m_view(view) {
        for (size_t slash = 0;;) {
            slash = subKey.find(L'\\', slash + 1);
            std::wstring prefix = subKey.substr(0, slash);
            UniqueRegKey key;
            if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, prefix.c_str(), 0, KEY_READ | view, key.put()) != ERROR_SUCCESS) {
                m_firstCreated = prefix;
                break;
            }
            if (slash == std::wstring::npos) break;
        }
        UniqueRegKey key;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, subKey.c_str(), 0, KEY_READ | view, key.put()) != ERROR_SUCCESS) return;
        DWORD size = 0;
        if (RegQueryValueExW(key.get(), name.c_str(), nullptr, &m_oldType, nullptr, &size) != ERROR_SUCCESS) return;
        m_oldData.resize(size);
        m_hadValue = RegQueryValueExW(key.get(), name.c_str(), nullptr, &m_oldType,
                                      m_oldData.empty() ? nullptr : m_oldData.data(), &size) == ERROR_SUCCESS;
    }
    ~RegistryValueRestorer() {
        if (m_hadValue) {
            Set(m_oldType, m_oldData.data(), static_cast<DWORD>(m_oldData.size()));
        } else {
            RemoveValue();
        }
        if (!m_firstCreated.empty()) {
            size_t slash = m_firstCreated.rfind(L'\\');
            UniqueRegKey parent;
            if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, m_firstCreated.substr(0, slash).c_str(), 0,
                              KEY_READ | KEY_WRITE | m_view, parent.put()) == ERROR_SUCCESS) {
                RegDeleteTreeW(parent.get(), m_firstCreated.substr(slash + 1).c_str());
            }
        }
    }
    RegistryValueRestorer(const RegistryValueRestorer&) = delete;
    RegistryValueRestorer& operator=(const RegistryValueRestorer&) = delete;

    bool KeyExistedBefore() const { return m_firstCreated.empty(); }

    bool Set(DWORD type, const void* data, DWORD size) const {
        UniqueRegKey key;
        if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, m_subKey.c_str(), 0, nullptr, 0, KEY_READ | KEY_WRITE | m_view,
                            nullptr, key.put(), nullptr) != ERROR_SUCCESS) {
            return false;
        }
        return RegSetValueExW(key.get(), m_name.c_str(), 0, type, static_cast<const BYTE*>(data), size) == ERROR_SUCCESS;
    }
    bool SetDword(DWORD value) const { return Set(REG_DWORD, &value, sizeof value); }
    bool SetString(const std::wstring& value) const {
        return Set(REG_SZ, value.c_str(), static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    }
    void RemoveValue() const {
        UniqueRegKey key;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, m_subKey.c_str(), 0, KEY_READ | KEY_WRITE | m_view, key.put()) ==
            ERROR_SUCCESS) {
            RegDeleteValueW(key.get(), m_name.c_str());
        }
    }

private:
    std::wstring m_subKey, m_name;
    REGSAM m_view;
    std::wstring m_firstCreated;
    bool m_hadValue = false;
    DWORD m_oldType = 0;
    std::vector<BYTE> m_oldData;
};

}  // namespace

TEST(RegistryProbes, NetFramework4CountsOnlyDwordOne) {
    RegistryValueRestorer install(kNetFx4Key, L"Install");

    ASSERT_TRUE(install.SetDword(1));
    EXPECT_EQ(1, IsNetFramework4Installed());

    ASSERT_TRUE(install.SetDword(0));
    EXPECT_EQ(0, IsNetFramework4Installed());
    ASSERT_TRUE(install.SetDword(2));
    EXPECT_EQ(0, IsNetFramework4Installed());
    ASSERT_TRUE(install.SetString(L"1"));
    EXPECT_EQ(0, IsNetFramework4Installed()) << "REG_SZ \"1\"";
    const ULONGLONG qword = 1;
    ASSERT_TRUE(install.Set(REG_QWORD, &qword, sizeof qword));
    EXPECT_EQ(0, IsNetFramework4Installed()) << "REG_QWORD 1";

    install.RemoveValue();
    EXPECT_EQ(0, IsNetFramework4Installed()) << "key without the value";

}

TEST(RegistryProbes, VcRuntimeComparesTheVersionNumberWithTheMinimum) {
    RegistryValueRestorer version(kVcRuntimeKey, L"Version");
    struct Case {
        const wchar_t* value;
        int expected;
    };
    const Case cases[] = {
        {L"14.0.23026", 1},    // exactly the minimum
        {L"14.0.23025", 0},
        {L"14.0.24215.1", 1},
        {L"14.1.22000", 0},    // 163000: below, although its second field is higher
        {L"14.29.30133", 1},
        {L"14.40.33810.0", 1},
        {L"", 0},
        {L"garbage", 0},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(version.SetString(c.value));
        EXPECT_EQ(c.expected, IsVcRuntimeInstalled()) << "Version \"" << ToUtf8(c.value) << "\"";
    }

    // The data is taken as UTF-16 text whatever the type, up to the end of the data when
    // it has no terminator.
    const std::wstring text = L"14.29.30133";
    ASSERT_TRUE(version.Set(REG_BINARY, text.data(), static_cast<DWORD>(text.size() * sizeof(wchar_t))));
    EXPECT_EQ(1, IsVcRuntimeInstalled()) << "REG_BINARY text without terminator";

    version.RemoveValue();
    EXPECT_EQ(0, IsVcRuntimeInstalled()) << "key without the value";
}

TEST(RegistryProbes, AbsentKeysMeanNotInstalled) {
    RegistryValueRestorer install(kNetFx4Key, L"Install");
    RegistryValueRestorer version(kVcRuntimeKey, L"Version");
    if (install.KeyExistedBefore() || version.KeyExistedBefore()) {
        GTEST_SKIP() << "the prefix already has the runtime keys; they are not deleted for the test";
    }
    EXPECT_EQ(0, IsNetFramework4Installed());
    EXPECT_EQ(0, IsVcRuntimeInstalled());
}

TEST(RegistryProbes, ReadTheThirtyTwoBitViewOnly) {
    // Values written only to the 64-bit view are invisible to the 32-bit launcher.
    RegistryValueRestorer install32(kNetFx4Key, L"Install", KEY_WOW64_32KEY);
    RegistryValueRestorer version32(kVcRuntimeKey, L"Version", KEY_WOW64_32KEY);
    RegistryValueRestorer install64(kNetFx4Key, L"Install", KEY_WOW64_64KEY);
    RegistryValueRestorer version64(kVcRuntimeKey, L"Version", KEY_WOW64_64KEY);
    install32.RemoveValue();
    version32.RemoveValue();
    ASSERT_TRUE(install64.SetDword(1));
    ASSERT_TRUE(version64.SetString(L"14.40.33810.0"));

    // The values really are there in the 64-bit view.
    {
        UniqueRegKey key;
        ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_LOCAL_MACHINE, kNetFx4Key, 0, KEY_READ | KEY_WOW64_64KEY, key.put()));
        DWORD value = 0, size = sizeof value;
        ASSERT_EQ(ERROR_SUCCESS,
                  RegQueryValueExW(key.get(), L"Install", nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size));
        ASSERT_EQ(1u, value);
    }

    EXPECT_EQ(0, IsNetFramework4Installed());
    EXPECT_EQ(0, IsVcRuntimeInstalled());

    // And the same values in the 32-bit view are seen.
    ASSERT_TRUE(install32.SetDword(1));
    ASSERT_TRUE(version32.SetString(L"14.40.33810.0"));
    EXPECT_EQ(1, IsNetFramework4Installed());
    EXPECT_EQ(1, IsVcRuntimeInstalled());
}

TEST(VersionNumber, WeightedSumOfTheFirstThreeFields) {
    struct Case {
        const wchar_t* text;
        int expected;
    };
    const Case cases[] = {
        {L"14.0.23026", 163026},
        {L"14.0.24215.1", 164215},
        {L"14.29.30133", 199133},
        {L"14.40.33810.0", 213810},
        {L"14.1.22000", 163000},
        {L"14.0.23025", 163025},
        {L"  14.0.23026", 163026},  // leading white space is skipped
        {L"14.0.23026.99999", 163026},  // the fourth field is ignored
        {L"-1.0.0", -10000},
        // Missing fields count as 0.
        {L"14", 140000},
        {L"14.2", 142000},
        {L"14.x.5", 140000},
        {L"", 0},
        {L"v14.0.23026", 0},
        {L"１４.0.1", 0},  // full-width digits are not decimal digits in the narrow text
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.expected, VersionNumber(c.text)) << ToUtf8(c.text);
    }
}

TEST(LauncherFileVersion, IsTheFixedFileVersionOfTheResource) {
    // This program links the launcher's own resources.
    EXPECT_EQ(FromUtf8(VELMORA_FILE_VERSION_STR), GetLauncherFileVersion());
}

TEST(LauncherFileVersion, ModuleWithoutVersionResourceGivesEmptyString) {
    // util_noversion.exe links the same code but no resources and prints "[<version>]".
    std::wstring probe = ProgramDirectory() + L"\\util_noversion.exe";
    ASSERT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(probe.c_str()));

    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    UniqueHandle readEnd, writeEnd;
    ASSERT_TRUE(CreatePipe(readEnd.put(), writeEnd.put(), &inherit, 0));
    SetHandleInformation(readEnd.get(), HANDLE_FLAG_INHERIT, 0);

    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = writeEnd.get();
    startup.hStdError = writeEnd.get();
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    std::wstring commandLine = L"\"" + probe + L"\"";
    UniqueProcessInformation process;
    ASSERT_TRUE(CreateProcessW(probe.c_str(), &commandLine[0], nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                               nullptr, &startup, process.put()));
    writeEnd.reset();

    std::string output;
    char buffer[256];
    DWORD got = 0;
    while (ReadFile(readEnd.get(), buffer, sizeof buffer, &got, nullptr) && got > 0) output.append(buffer, got);
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(process.process(), 30000));
    DWORD exitCode = 1;
    GetExitCodeProcess(process.process(), &exitCode);
    EXPECT_EQ(0u, exitCode);
    EXPECT_EQ("[]", output);
}
