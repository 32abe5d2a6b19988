// The launcher as built: the same sources must give the same bytes in any build folder, so
// neither the program nor its separated symbols may carry the build's time or the path of
// the source or build folder, and the header checksum must be the true one (what the
// system computes).
#include <gtest/gtest.h>
#include <windows.h>

#include <imagehlp.h>  // needs windows.h first

#include <string>

#include "Installation.h"
#include "TestSupport.h"
#include "framework/Codepage.h"

namespace {
// The header's time stamp; false when the file is no PE image.
bool ReadTimeStamp(const std::string& bytes, DWORD& timeStamp) {
    if (bytes.size() < sizeof(IMAGE_DOS_HEADER)) return false;
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(bytes.data());
    if (dos->e_magic != IMAGE_DOS_SIGNATURE || dos->e_lfanew <= 0 ||
        bytes.size() < static_cast<size_t>(dos->e_lfanew) + sizeof(IMAGE_NT_HEADERS32))
        return false;
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS32*>(bytes.data() + dos->e_lfanew);
    timeStamp = nt->FileHeader.TimeDateStamp;
    return nt->Signature == IMAGE_NT_SIGNATURE;
}

// The build folder as the compilers saw it: the Unix path of the folder above bin.
std::string BuildFolder() {
    std::string path = ToUtf8(BinDir().c_str());
    path = path.substr(path.find(':') + 1, path.rfind('\\') - path.find(':') - 1);
    for (char& c : path) {
        if (c == '\\') c = '/';
    }
    return path;
}
}  // namespace

TEST(LauncherImage, NeitherTheProgramNorItsSymbolsCarryATimeStampOrAFolderAndTheChecksumIsTrue) {
    for (const wchar_t* name : {L"Velmora.exe", L"Velmora.exe.debug"}) {
        const std::wstring path = BinDir() + L"\\" + name;
        const std::string bytes = ReadBytes(path);
        EXPECT_EQ(std::string::npos, bytes.find(BuildFolder())) << ToUtf8(name) << " names " << BuildFolder();
        EXPECT_EQ(std::string::npos, bytes.find(VELMORA_SOURCE_DIR)) << ToUtf8(name) << " names " << VELMORA_SOURCE_DIR;
        DWORD timeStamp = 1;
        ASSERT_TRUE(ReadTimeStamp(bytes, timeStamp)) << ToUtf8(name);
        EXPECT_EQ(0u, timeStamp) << ToUtf8(name);
        DWORD stored = 0, computed = 0;
        ASSERT_EQ(static_cast<DWORD>(CHECKSUM_SUCCESS),
                  MapFileAndCheckSumW(const_cast<wchar_t*>(path.c_str()), &stored, &computed));
        EXPECT_NE(0u, computed);
        EXPECT_EQ(computed, stored) << ToUtf8(name);
    }
}
