// The resources of the launcher executable itself, read back from Velmora.exe.
#include <gtest/gtest.h>

#include <string>

#include "BuildSettings.h"
#include "Installation.h"
#include "framework/Handles.h"
#include "ui/resource.h"

namespace {
#pragma pack(push, 2)
struct GroupIconEntry {
    BYTE width, height, colors, reserved;
    WORD planes, bitCount;
    DWORD bytes;
    WORD id;
};
struct GroupIconHeader {
    WORD reserved, type, count;
};
#pragma pack(pop)

class LauncherResources : public ::testing::Test {
protected:
    void SetUp() override {
        module.reset(LoadLibraryExW((BinDir() + L"\\Velmora.exe").c_str(), nullptr,
                                    LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE));
        ASSERT_TRUE(module);
    }
    std::string Bytes(LPCWSTR type, LPCWSTR name) {
        HRSRC res = FindResourceW(module.get(), name, type);
        if (!res) return std::string();
        HGLOBAL data = LoadResource(module.get(), res);
        const char* p = static_cast<const char*>(LockResource(data));
        return p ? std::string(p, SizeofResource(module.get(), res)) : std::string();
    }
    UniqueModule module;
};
}  // namespace

TEST_F(LauncherResources, ManifestAsksForCommonControlsSixAsInvokerPerMonitorDpiAndNamesItsSystems) {
    std::string manifest = Bytes(MAKEINTRESOURCEW(24), MAKEINTRESOURCEW(1));
    ASSERT_FALSE(manifest.empty());
    for (const char* needle :
         {"name=\"Microsoft.Windows.Common-Controls\"", "version=\"6.0.0.0\"", "processorArchitecture=\"x86\"",
          "level=\"asInvoker\"", "uiAccess=\"false\"",
          "<dpiAware xmlns=\"http://schemas.microsoft.com/SMI/2005/WindowsSettings\">true</dpiAware>",
          "<dpiAwareness xmlns=\"http://schemas.microsoft.com/SMI/2016/WindowsSettings\">PerMonitorV2, System</",
          "<compatibility xmlns=\"urn:schemas-microsoft-com:compatibility.v1\">",
          // Windows 7, 8, 8.1, 10 and 11.
          "<supportedOS Id=\"{35138b9a-5d96-4fbd-8e2d-a2440225f93a}\"/>",
          "<supportedOS Id=\"{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}\"/>",
          "<supportedOS Id=\"{1f676c76-80e1-4239-95bb-83d0f6d0da78}\"/>",
          "<supportedOS Id=\"{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}\"/>"}) {
        EXPECT_NE(manifest.find(needle), std::string::npos) << needle;
    }
}

TEST_F(LauncherResources, BothIconsHoldOne45By45ImageOf32Bits) {
    for (WORD id : {WORD(IDR_MAINFRAME), WORD(IDI_SPLASH)}) {
        std::string group = Bytes(MAKEINTRESOURCEW(14), MAKEINTRESOURCEW(id));
        ASSERT_GE(group.size(), sizeof(GroupIconHeader) + sizeof(GroupIconEntry)) << id;
        auto* header = reinterpret_cast<const GroupIconHeader*>(group.data());
        auto* entry = reinterpret_cast<const GroupIconEntry*>(group.data() + sizeof(GroupIconHeader));
        EXPECT_EQ(header->count, 1) << id;
        EXPECT_EQ(entry->width, 45) << id;
        EXPECT_EQ(entry->height, 45) << id;
        EXPECT_EQ(entry->bitCount, 32) << id;
    }
}

TEST_F(LauncherResources, FixedFileVersionIsTheBuildsVersion) {
    std::wstring path = BinDir() + L"\\Velmora.exe";
    DWORD ignored = 0;
    DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
    ASSERT_GT(size, 0u);
    std::string buffer(size, '\0');
    ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, size, &buffer[0]));
    VS_FIXEDFILEINFO* info = nullptr;
    UINT len = 0;
    ASSERT_TRUE(VerQueryValueW(buffer.data(), L"\\", reinterpret_cast<void**>(&info), &len));
    char text[64];
    snprintf(text, sizeof text, "%u.%u.%u.%u", HIWORD(info->dwFileVersionMS), LOWORD(info->dwFileVersionMS),
             HIWORD(info->dwFileVersionLS), LOWORD(info->dwFileVersionLS));
    EXPECT_STREQ(text, VELMORA_FILE_VERSION_STR);
}
