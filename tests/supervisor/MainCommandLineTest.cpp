// The main program's command line, read back the way the main program reads it.
#include <gtest/gtest.h>
#include <windows.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "app/Globals.h"
#include "util/MainProgramArgs.h"
#include "supervisor/MainCommandLine.h"
#include "util/FileHelpers.h"

namespace {

std::vector<std::wstring> Split(const CString& line) {
    int count = 0;
    LPWSTR* argv = CommandLineToArgvW(line, &count);
    std::vector<std::wstring> out;
    for (int i = 0; i < count; ++i) out.push_back(argv[i]);
    LocalFree(argv);
    return out;
}

TEST(MainCommandLine, ExactTextForAFolderWithSpaces) {
    const CString dir = L"C:\\Program Files (x86)\\Vel mora";
    const CString program = dir + L"\\Kestrun.exe";
    const std::wstring expected =
        L"\"C:\\Program Files (x86)\\Vel mora\\Kestrun.exe\" \"kwdmet508341\" \"C:\\Program Files (x86)\\Vel mora\" "
        L"\"" VELMORA_MAIN_ARG_1 L"\" \"" VELMORA_MAIN_ARG_2 L"\" \"" VELMORA_MAIN_ARG_3 L"\" \"" VELMORA_MAIN_ARG_4
        L"\" \"" VELMORA_MAIN_ARG_5 L"\x2261" VELMORA_MAIN_ARG_6 L"\" \"" VELMORA_MAIN_ARG_7 L"\x2261" VELMORA_MAIN_ARG_8
        L"\" \"" VELMORA_MAIN_ARG_9 L"\x2261" VELMORA_MAIN_ARG_10 L"\" \"" VELMORA_MAIN_ARG_11 L"\x2261"
        VELMORA_MAIN_ARG_12 L"\" \"" + g_strServerAddress.Str() + L"\x2261" L"6629\" \"" VELMORA_MAIN_ARG_13
        L"\x2261" VELMORA_MAIN_ARG_14 L"\"";
    EXPECT_EQ(expected, BuildMainCommandLine(program, dir, g_strServerAddress, g_strServerPort).Str());
}

TEST(MainCommandLine, SplitsBackIntoThirteenValuesAlsoAtADriveRoot) {
    // At a drive root the launcher directory ends in a backslash, which must not escape
    // its closing quote.
    for (const CString& dir : {CString(L"C:\\My Apps\\Velmora 2"), CString(L"V:\\")}) {
        SCOPED_TRACE(dir.GetString());
        const CString program = JoinPath(dir, L"Kestrun.exe");
        std::vector<std::wstring> args = Split(BuildMainCommandLine(program, dir, g_strServerAddress, g_strServerPort));
        ASSERT_EQ(13u, args.size());
        EXPECT_EQ(program.Str(), args[0]);
        EXPECT_EQ(kLaunchToken.Str(), args[1]);
        EXPECT_EQ(dir.Str(), args[2]);
        for (int i = 0; i < 4; ++i) EXPECT_EQ(kMainProgramFixedArgs[i].Str(), args[3 + i]) << i;
        for (int pair = 0; pair < 4; ++pair) {
            EXPECT_EQ(kMainProgramFixedArgs[4 + 2 * pair].Str() + L"\x2261" + kMainProgramFixedArgs[5 + 2 * pair].Str(),
                      args[7 + pair]);
        }
        EXPECT_EQ(g_strServerAddress.Str() + L"\x2261" + g_strServerPort.Str(), args[11]);
        EXPECT_EQ(kMainProgramFixedArgs[12].Str() + L"\x2261" + kMainProgramFixedArgs[13].Str(), args[12]);
    }
}

TEST(MainCommandLine, OnlyBackslashesBeforeAClosingQuoteAreDoubled) {
    // Two at the end become four; the inner ones and a quote inside a value stay as they are.
    CString line = BuildMainCommandLine(L"a\"b", L"C:\\dir\\sub\\\\", g_strServerAddress, g_strServerPort);
    EXPECT_EQ(0, line.Find(L"\"a\"b\" \"kwdmet508341\" \"C:\\dir\\sub\\\\\\\\\" "));
    EXPECT_NE(L' ', line[0]);
    EXPECT_EQ(L'"', line[line.GetLength() - 1]);
}

}  // namespace
