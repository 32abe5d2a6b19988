// The real launcher under Wine with a main program of 1 GiB, whose verification takes long
// enough for the splash window to show its progress: what the user can do meanwhile (click
// the continue link, start another copy) starts nothing more and breaks nothing, and the
// status line says no percentage once the wait is over.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Driver.h"
#include "framework/Codepage.h"
#include "framework/Handles.h"
#include "support/Installation.h"
#include "support/TestSupport.h"
#include "ui/resource.h"

namespace {

bool AnyFileLike(const std::wstring& pattern) {
    WIN32_FIND_DATAW data;
    return static_cast<bool>(UniqueFind(FindFirstFileW(pattern.c_str(), &data)));
}

// Each test starts with the program to be extracted.
class LongVerificationE2E : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(nullptr, m_install) << "the 1 GiB installation could not be built";
        ASSERT_TRUE(m_install->Reset());
    }
    void TearDown() override { m_launcher.Kill(); }

    std::wstring File(const wchar_t* name) const { return m_install->file(name); }
    std::vector<std::wstring> Runs() const { return ReadUtf8Lines(File(L"kestrun.log")); }
    bool Start() { return m_launcher.Start(File(L"Velmora.exe")); }
    // Waits until the splash window shows the verification of `file` under way.
    HWND WaitForProgressOf(const std::wstring& file) {
        return WaitForVisibleStatus(m_launcher.pid(), L"正在校验" + file, 60000);
    }
    void ExpectANormalEndWithOneRun() {
        std::vector<SeenBox> boxes = m_launcher.AnswerUntilExit({}, 60000);
        EXPECT_TRUE(boxes.empty()) << (boxes.empty() ? "" : ToUtf8(boxes[0].text.c_str()));
        DWORD exitCode = 1;
        ASSERT_TRUE(m_launcher.WaitForExit(5000, &exitCode));
        EXPECT_EQ(0u, exitCode);
        EXPECT_EQ(1u, Runs().size());
        EXPECT_TRUE(Exists(File(L"kstcache")));
        EXPECT_FALSE(Exists(File(L"Kestrun.exe")));
    }

    LargeInstallation* m_install = LargeInstallation::Get();
    ScopedRuntimes m_runtimes;
    DrivenProcess m_launcher;
};

TEST_F(LongVerificationE2E, TheContinueLinkDuringAVisibleVerificationStartsNothingMore) {
    // The program is extracted, then its copy verified while the window shows it.
    ASSERT_TRUE(Start());
    HWND splash = WaitForProgressOf(L"Kestrun.exe");
    ASSERT_NE(nullptr, splash) << "no progress shown while the extracted program was verified";
    // Shown where the dialog stands once initialised: centred in the work area.
    RECT window = {}, work = {};
    GetWindowRect(splash, &window);
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    EXPECT_NEAR((work.left + work.right) / 2, (window.left + window.right) / 2, 1);
    EXPECT_NEAR((work.top + work.bottom) / 2, (window.top + window.bottom) / 2, 1);
    EXPECT_TRUE(IsWindowVisible(GetDlgItem(splash, IDC_LINK_CONTINUE)));
    ASSERT_TRUE(ClickControl(splash, IDC_LINK_CONTINUE));
    ExpectANormalEndWithOneRun();
}

TEST_F(LongVerificationE2E, ACopyStartedDuringAnExtractionLeavesItAlone) {
    // A damaged program: renamed to its runnable name, then replaced by the package's copy.
    ASSERT_TRUE(WriteBytes(File(L"kstcache"), "damaged"));
    ASSERT_TRUE(Start());
    ASSERT_TRUE(WaitUntil([&] { return AnyFileLike(File(L"*.kpxtmp")); }, 60000)) << "no extraction seen";
    DrivenProcess second;
    auto refused = StartRefusedCopy(second, File(L"Velmora.exe"));
    ASSERT_TRUE(refused.has_value());
    // Its box stays up while the first copy finishes the extraction and runs the program.
    m_launcher.IgnoreBox(refused->hwnd);
    ExpectANormalEndWithOneRun();
    PressBoxButton(refused->hwnd, IDOK);
    EXPECT_TRUE(second.WaitForExit(20000));
}

TEST_F(LongVerificationE2E, AFailedLaunchAfterVisibleProgressLeavesNoPercentage) {
    // The package's verification shows its progress; then the launch fails, since
    // AppConf.ini records no digest for the main program.
    ASSERT_TRUE(WriteBytes(File(L"kstcache"), "x"));
    std::string config = ReadBytes(File(L"AppConf.ini"));
    const size_t key = config.find("Apexm5=");
    ASSERT_NE(std::string::npos, key);
    config.erase(key, config.find('\n', key) + 1 - key);
    ASSERT_TRUE(WriteBytes(File(L"AppConf.ini"), config));

    ASSERT_TRUE(Start());
    HWND splash = WaitForProgressOf(L"Kestpak.da");
    ASSERT_NE(nullptr, splash) << "no progress shown while the package was verified";
    auto box = m_launcher.WaitForBox(60000);
    ASSERT_TRUE(box.has_value());
    EXPECT_EQ(L"读取配置文件失败！\r\nAppConf-apexm5", box->text);
    PressBoxButton(box->hwnd, IDOK);
    ASSERT_TRUE(WaitUntil([&] { return IsWindowVisible(splash) && IsWindowEnabled(GetDlgItem(splash, IDC_LINK_CONTINUE)); }, 10000));
    const std::wstring status = StatusLineOf(splash);
    EXPECT_EQ(std::wstring::npos, status.find(L'%')) << ToUtf8(status.c_str());
    EXPECT_EQ(std::wstring::npos, status.find(L"正在校验")) << ToUtf8(status.c_str());
    EXPECT_TRUE(Runs().empty());
}

}  // namespace
