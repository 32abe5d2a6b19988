// The installation builder and the stored form of digests: what mkinstall writes is what
// the launcher reads back.
#include <gtest/gtest.h>

#include <random>

#include "ComponentTestSupport.h"
#include "app/Globals.h"
#include "component/RuntimeComponent.h"
#include "framework/Codepage.h"
#include "util/DigestCodec.h"
#include "util/FileDigest.h"

namespace {

TEST(DigestCodec, EveryHexDigitHasAStoredLetterOutsideTheHexAlphabet) {
    const CString digits = L"0123456789ABCDEF";
    const CString stored = EncodeDigestText(digits);
    ASSERT_EQ(16, stored.GetLength());
    for (int i = 0; i < 16; ++i) {
        const wchar_t ch = stored[i];
        EXPECT_FALSE((ch >= L'0' && ch <= L'9') || (ch >= L'A' && ch <= L'F') || (ch >= L'a' && ch <= L'f')) << i;
        EXPECT_EQ(i, stored.Find(ch)) << "two digits share a letter";
    }
    EXPECT_EQ(digits, DecodeDigestText(stored));
}

TEST(DigestCodec, RoundTripsDigestsAndKeepsForeignCharacters) {
    const CString digest = L"D41D8CD98F00B204E9800998ECF8427E";
    EXPECT_EQ(digest, DecodeDigestText(EncodeDigestText(digest)));
    EXPECT_EQ(EncodeDigestText(digest), EncodeDigestText(L"d41d8cd98f00b204e9800998ecf8427e"));
    EXPECT_EQ(CString(L""), DecodeDigestText(L""));
    // Characters outside the table pass through both ways.
    EXPECT_EQ(CString(L" -=\x4E2D"), DecodeDigestText(L" -=\x4E2D"));
    EXPECT_EQ(CString(L" -=\x4E2D"), EncodeDigestText(L" -=\x4E2D"));
}

std::string ConfigValue(const std::string& config, const std::string& key) {
    const size_t at = config.find(key + "=");
    if (at == std::string::npos) return std::string();
    const size_t start = at + key.size() + 1;
    return config.substr(start, config.find_first_of("\r\n", start) - start);
}

class InstallationBuilder : public ::testing::Test {
protected:
    void SetUp() override {
        std::mt19937 generator(42);
        main.resize(200000);
        for (char& ch : main) ch = static_cast<char>(generator() & 0xFF);
        ASSERT_TRUE(WriteBytes(source.file(L"anything.bin"), main));
    }

    int Build(const std::wstring& options, const std::wstring& mainProgram, const std::wstring& outputDir) {
        return RunAndWait(L"\"" + BinDirectory() + L"\\mkinstall.exe\" " + options + L" \"" + mainProgram + L"\" \"" +
                          outputDir + L"\"");
    }

    TempDir source{L"mkisrc"};
    TempDir output{L"mkiout"};
    std::string main;
};

TEST_F(InstallationBuilder, WritesACompleteInstallationThatTheComponentCanRestore) {
    const std::wstring out = output.path() + L"\\Velmora Install";  // created, with a space
    ASSERT_EQ(0, Build(L"", source.file(L"anything.bin"), out));

    for (const wchar_t* name : {L"Velmora.exe", L"CsBrevinLab.dll", L"CsBrevinApi.dll", L"Kestpak.da", L"AppConf.ini",
                                L"kstcache"}) {
        EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesW((out + L"\\" + name).c_str())) << name;
    }
    EXPECT_EQ(main, ReadBytes(out + L"\\kstcache"));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW((out + L"\\Kestrun.exe").c_str()));
    EXPECT_EQ(ReadBytes(BinDirectory() + L"\\CsBrevinApi.dll"), ReadBytes(out + L"\\CsBrevinApi.dll"));
    // Companions come from beside the tool when they exist there, never as the main program.
    for (const wchar_t* name : {L"qorupd.exe", L"Sevra.exe"}) {
        const std::wstring beside = BinDirectory() + L"\\" + name;
        if (GetFileAttributesW(beside.c_str()) == INVALID_FILE_ATTRIBUTES) {
            EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW((out + L"\\" + name).c_str())) << name;
        } else {
            EXPECT_EQ(ReadBytes(beside), ReadBytes(out + L"\\" + name)) << name;
        }
    }

    const std::string config = ReadBytes(out + L"\\AppConf.ini");
    const std::string apexm5 = ConfigValue(config, "Apexm5");
    const std::string apdbm5 = ConfigValue(config, "Apdbm5");
    ASSERT_EQ(32u, apexm5.size()) << config;
    ASSERT_EQ(32u, apdbm5.size()) << config;
    const CString programDigest = GetFileMd5(source.file(L"anything.bin").c_str());
    const CString packageDigest = GetFileMd5((out + L"\\Kestpak.da").c_str());
    EXPECT_NE(programDigest, NarrowToWide(apexm5.c_str())) << "the digest is stored in plain";
    EXPECT_EQ(programDigest, DecodeDigestText(NarrowToWide(apexm5.c_str())));
    EXPECT_EQ(packageDigest, DecodeDigestText(NarrowToWide(apdbm5.c_str())));

    // The launcher's own road: load the installed component and restore the program.
    ScopedLauncherDir launcher(out);
    RecordingMessageBoxes boxes;
    CRuntimeComponent holder;
    ASSERT_TRUE(LoadInstalledComponent(holder));
    CString error;
    EXPECT_TRUE(holder.ExtractFile(CString((out + L"\\Kestpak.da").c_str()), kPackagePassword, kPackageInfoTable,
                                   kPackageDataTable, out.c_str(), kMainProgramFile, error))
        << ToUtf8(error);
    holder.Unload();
    EXPECT_EQ(main, ReadBytes(out + L"\\Kestrun.exe"));
    EXPECT_EQ(programDigest, GetFileMd5((out + L"\\Kestrun.exe").c_str()));
}

TEST_F(InstallationBuilder, OptionsLeaveOutTheLauncherAndTheCachedProgram) {
    ASSERT_EQ(0, Build(L"--no-launcher --no-cache", source.file(L"anything.bin"), output.path()));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(output.file(L"Velmora.exe").c_str()));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(output.file(L"kstcache").c_str()));
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(output.file(L"Kestpak.da").c_str()));
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(output.file(L"AppConf.ini").c_str()));
}

TEST_F(InstallationBuilder, RefusesBadInvocations) {
    EXPECT_EQ(0, RunAndWait(L"\"" + BinDirectory() + L"\\mkinstall.exe\" --help"));
    EXPECT_EQ(2, RunAndWait(L"\"" + BinDirectory() + L"\\mkinstall.exe\""));
    EXPECT_EQ(2, Build(L"--bogus", source.file(L"anything.bin"), output.path()));
    EXPECT_EQ(1, Build(L"", source.file(L"absent.bin"), output.path()));
    // The output folder holding the main program would be overwritten while it is read.
    EXPECT_EQ(1, Build(L"", source.file(L"anything.bin"), source.path()));
    EXPECT_EQ(main, ReadBytes(source.file(L"anything.bin")));
}

}  // namespace
