// The online-service window: its token and command line, the running-process check and
// the start from a launcher folder.
#include <gtest/gtest.h>

#include <windows.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "support/LaunchSupport.h"
#include "support/TestSupport.h"
#include "app/Globals.h"
#include "supervisor/ServiceWindow.h"
#include "util/RegistryVersion.h"

namespace {

std::vector<std::wstring> Split(const CString& line) {
    int argc = 0;
    LPWSTR* argv = CommandLineToArgvW(line, &argc);
    std::vector<std::wstring> parts;
    for (int i = 0; argv && i < argc; ++i) parts.push_back(argv[i]);
    LocalFree(argv);
    return parts;
}

std::wstring OwnFileName() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring p = path;
    return p.substr(p.find_last_of(L'\\') + 1);
}


// The cmd= part of the first line of a stand-in's log, without the line break.
std::wstring LoggedCommandLine(const std::wstring& log, DWORD timeoutMs) {
    DWORD start = GetTickCount();
    std::string bytes;
    while ((bytes = ReadBytes(log)).find('\n') == std::string::npos) {
        if (GetTickCount() - start > timeoutMs) return L"<no log>";
        Sleep(50);
    }
    bytes = bytes.substr(0, bytes.find('\n'));
    size_t cmd = bytes.find(" cmd=");
    if (cmd == std::string::npos) return L"<no cmd>";
    bytes = bytes.substr(cmd + 5);
    int n = MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), &out[0], n);
    return out;
}

}  // namespace

TEST(ServiceToken, HasTheAgreedShape) {
    EXPECT_EQ(BuildServiceToken(L"C", L"1.0.0.3", L"2024-05-07"), L"C_IBP_1.0.0.3_2024-05-07_LoadPage");
    EXPECT_EQ(BuildServiceToken(L"C", L"", L"2024-05-07"), L"C_IBP__2024-05-07_LoadPage")
        << "an unreadable version leaves two underscores in a row";
    EXPECT_EQ(BuildServiceToken(L"", L"1.0.0.3", L"2024-05-07"), L"_IBP_1.0.0.3_2024-05-07_LoadPage");
    EXPECT_EQ(BuildServiceToken(L"", L"", L""), L"_IBP___LoadPage");
}

TEST(ServiceCommandLine, FiveElementsJoinedBySpacesAndNothingQuoted) {
    const CString line = BuildServiceCommandLine(L"C:\\Program Files\\Velmora\\Sevra.exe", L"192.0.2.10",
                                                 L"6629", L"_IBP_1.0.0.3_2024-05-07_LoadPage", L"Velmora");
    EXPECT_EQ(line, L"C:\\Program Files\\Velmora\\Sevra.exe 192.0.2.10 6629 _IBP_1.0.0.3_2024-05-07_LoadPage Velmora");
    // The path's own space splits it, as the service program has always received it.
    std::vector<std::wstring> parts = Split(line);
    ASSERT_EQ(parts.size(), 6u);
    EXPECT_EQ(parts[0], L"C:\\Program");
    EXPECT_EQ(parts[2], L"192.0.2.10");
    EXPECT_EQ(parts[5], L"Velmora");

    std::vector<std::wstring> plain = Split(BuildServiceCommandLine(L"D:\\V\\Sevra.exe", L"10.0.0.1", L"6629", L"t", L"Velmora"));
    EXPECT_EQ(plain, (std::vector<std::wstring>{L"D:\\V\\Sevra.exe", L"10.0.0.1", L"6629", L"t", L"Velmora"}));
}

TEST(IsProcessRunning, FindsAProcessByFileNameInAnyLetterCase) {
    std::wstring own = OwnFileName();
    EXPECT_TRUE(IsProcessRunning(own.c_str()));
    CString upper = own.c_str();
    upper.MakeUpper();
    EXPECT_TRUE(IsProcessRunning(upper));
    EXPECT_FALSE(IsProcessRunning(L"no-such-program-here.exe"));
    EXPECT_FALSE(IsProcessRunning((own.substr(0, own.size() - 4)).c_str())) << "the name without .exe is another name";
}

class ServiceStart : public ::testing::Test {
protected:
    TempDir dir{L"service dir"};
    std::wstring log = dir.file(L"sevra.log");
    RecordingMessageBoxes boxes;

    void SetUp() override {
        ASSERT_FALSE(IsProcessRunning(L"Sevra.exe")) << "a service window from elsewhere is running";
    }
    // What a click on the service link does, its outcome shown as the launch shows it.
    bool Start() {
        const LaunchSettings settings = SettingsFor(dir.path());
        const LaunchOutcome outcome =
            StartServiceWindow(settings.installation.folder, settings.serverAddress, settings.serverPort);
        COutcomePresenter(settings.installation, CString(), boxes, pages).Present(outcome);
        return outcome.ok();
    }
    RecordingWebPages pages;
    void TearDown() override {
        WriteBytes(dir.file(L"sevra.stop"), "");
        for (int i = 0; i < 100 && IsProcessRunning(L"Sevra.exe"); ++i) Sleep(50);
    }
};

TEST_F(ServiceStart, StartsOnceWithTheExactCommandLineAndRefusesASecond) {
    ASSERT_TRUE(CopyFileW((ProgramDirectory() + L"\\Sevra.exe").c_str(), dir.file(L"Sevra.exe").c_str(), FALSE));
    const COleDateTime today = COleDateTime::GetCurrentTime();

    EXPECT_TRUE(Start());
    EXPECT_TRUE(boxes.boxes.empty());
    EXPECT_TRUE(IsProcessRunning(L"Sevra.exe")) << "listed as soon as it was started";

    // The token date is the day of the first click.
    EXPECT_EQ(g_dtTokenDate.GetYear(), today.GetYear());
    EXPECT_EQ(g_dtTokenDate.GetMonth(), today.GetMonth());
    EXPECT_EQ(g_dtTokenDate.GetDay(), today.GetDay());
    const CString token = BuildServiceToken(g_strClientId, GetLauncherFileVersion(), g_dtTokenDate.Format(L"%Y-%m-%d"));
    const CString expected = BuildServiceCommandLine(CString(dir.path().c_str()) + L"\\Sevra.exe", g_strServerAddress,
                                                     L"6629", token, L"Velmora");
    EXPECT_EQ(LoggedCommandLine(log, 10000), expected.Str());

    EXPECT_FALSE(Start());
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].title, L"重复打开在线客服窗口提示");
    EXPECT_EQ(boxes.boxes[0].text, L"会话窗口已打开，请不要重复打开！");
    EXPECT_EQ(boxes.boxes[0].owner, nullptr);
    Sleep(300);
    std::string logged = ReadBytes(log);
    EXPECT_EQ(logged.find('\n'), logged.size() - 1) << "exactly one start";
}

TEST_F(ServiceStart, AMissingProgramIsReported) {
    EXPECT_FALSE(Start());
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].title, L"软件加载提示");
    EXPECT_EQ(boxes.boxes[0].text, L"加载失败！\n请尝试重启软件！");
    EXPECT_FALSE(Exists(log));
}
