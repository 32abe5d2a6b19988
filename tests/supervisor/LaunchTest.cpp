// Verification, extraction, launch and supervision of the main program at unit level: the
// real stand-in main program runs from a temporary installation folder, the component is
// a fake that copies the stand-in, and boxes and pages are recorded.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/Globals.h"
#include "component/RuntimeComponent.h"
#include "framework/Codepage.h"
#include "support/TestSupport.h"
#include "util/DigestCodec.h"
#include "supervisor/MainCommandLine.h"
#include "ui/EIPMfcAppDlg.h"
#include "util/FileDigest.h"

namespace {

// Stands in for the component object: "extracts" by copying a given file, or fails with a
// given error text.
class FakeWrapper : public IRuntimeWrapper {
public:
    bool ExtractFile(const char* packagePath, const char* password, const char* infoTable, const char* dataTable,
                     const char* targetDir, const char* fileName, const char** errorText) override {
        ++calls;
        lastPackage = packagePath;
        lastArgs = std::string(password) + "|" + infoTable + "|" + dataTable + "|" + targetDir + "|" + fileName;
        if (fail) {
            *errorText = error.empty() ? nullptr : error.c_str();
            return false;
        }
        std::wstring target = NarrowToWide(targetDir).Str() + L"\\" + NarrowToWide(fileName).Str();
        return CopyFileW(source.c_str(), target.c_str(), FALSE) != FALSE;
    }
    // The test owns the object; the holder lets go of it before it could destroy it.
    void DeletingDestructor(unsigned int) override {}
    int calls = 0;
    bool fail = false;
    std::string error;
    std::string lastPackage, lastArgs;
    std::wstring source;
};

std::string Narrow(const CString& text) {
    std::string out;
    for (wchar_t ch : text.Str()) out += static_cast<char>(ch);
    return out;
}

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::vector<std::string> LogLines(const std::wstring& path) {
    std::vector<std::string> lines;
    std::string text = ReadBytes(path);
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

bool TakeQuitMessage() {
    MSG msg;
    return PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) != FALSE;
}

class LaunchTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_savedDir = g_strAppDir;
        m_savedLoaded = g_bRuntimeLoaded;
        g_strAppDir = m_dir.path().c_str();
        g_bRuntimeLoaded = true;
        m_standIn = ProgramDirectory() + L"\\Kestrun.exe";
        ASSERT_TRUE(Exists(m_standIn)) << "Kestrun.exe is built beside the tests";
        m_wrapper.source = m_standIn;
        g_runtime.m_pWrapper = &m_wrapper;
        RecordProgramDigest(GetFileMd5(m_standIn.c_str()));
        TakeQuitMessage();
    }
    void TearDown() override {
        g_runtime.m_pWrapper = nullptr;
        g_strAppDir = m_savedDir;
        g_bRuntimeLoaded = m_savedLoaded;
        TakeQuitMessage();
    }

    void RecordProgramDigest(const CString& digest, const std::string& extra = std::string()) {
        ASSERT_TRUE(WriteBytes(File(L"AppConf.ini"), "[Files]\r\nApexm5=" + Narrow(EncodeDigestText(digest)) +
                                                         "\r\n" + extra));
    }
    void InstallProgram(const wchar_t* name) { ASSERT_TRUE(CopyFileW(m_standIn.c_str(), File(name).c_str(), FALSE)); }
    std::wstring File(const wchar_t* name) const { return m_dir.file(name); }
    std::vector<std::string> Runs() const { return LogLines(File(L"kestrun.log")); }
    std::string ExpectedCommandLine() const {
        return ToUtf8(BuildMainCommandLine(File(L"Kestrun.exe").c_str(), m_dir.path().c_str(), g_strServerAddress, g_strServerPort));
    }

    TempDir m_dir{L"launch test"};
    FakeWrapper m_wrapper;
    std::wstring m_standIn;
    CEIPMfcAppDlg m_dlg;
    RecordingMessageBoxes m_boxes;

private:
    CString m_savedDir;
    bool m_savedLoaded = false;
};

TEST_F(LaunchTest, NormalRunStartsOnceWithTheCommandLineAndPutsTheFileBack) {
    InstallProgram(L"kstcache");
    EXPECT_FALSE(m_dlg.LaunchMainProgram());
    EXPECT_TRUE(m_boxes.boxes.empty());
    EXPECT_EQ(0, m_wrapper.calls);  // the file matched its digest
    std::vector<std::string> runs = Runs();
    ASSERT_EQ(1u, runs.size());
    EXPECT_NE(std::string::npos, runs[0].find(" exit=0 cmd=" + ExpectedCommandLine()));
    EXPECT_EQ(ExpectedCommandLine(), runs[0].substr(runs[0].find(" cmd=") + 5));
    EXPECT_TRUE(Exists(File(L"kstcache")));
    EXPECT_FALSE(Exists(File(L"Kestrun.exe")));
    EXPECT_EQ(ReadBytes(m_standIn), ReadBytes(File(L"kstcache")));
    EXPECT_TRUE(TakeQuitMessage());
}

TEST_F(LaunchTest, ExitCodeTwoReportsBadArgumentsThenRenames) {
    InstallProgram(L"kstcache");
    ASSERT_TRUE(WriteBytes(File(L"kestrun.codes"), "2"));
    bool programNameWhileShown = false;
    m_boxes.onShow = [&](const RecordingMessageBoxes::Box&) { programNameWhileShown = Exists(File(L"Kestrun.exe")); };
    EXPECT_FALSE(m_dlg.LaunchMainProgram());
    ASSERT_EQ(1u, m_boxes.boxes.size());
    EXPECT_EQ(L"错误提示", m_boxes.boxes[0].title);
    EXPECT_EQ(L"运行参数错误。", m_boxes.boxes[0].text);
    EXPECT_EQ(nullptr, m_boxes.boxes[0].owner);
    EXPECT_TRUE(programNameWhileShown);
    EXPECT_TRUE(Exists(File(L"kstcache")));
    EXPECT_FALSE(Exists(File(L"Kestrun.exe")));
    EXPECT_TRUE(TakeQuitMessage());
}

TEST_F(LaunchTest, ExitCodeSixHandsOverToTheUpdaterAndStillRenames) {
    InstallProgram(L"kstcache");
    ASSERT_TRUE(WriteBytes(File(L"kestrun.codes"), "6"));
    EXPECT_FALSE(m_dlg.LaunchMainProgram());
    // No updater in this folder: the hand-off reports it; the file goes back all the same.
    EXPECT_FALSE(m_boxes.boxes.empty());
    EXPECT_TRUE(Exists(File(L"kstcache")));
    EXPECT_FALSE(Exists(File(L"Kestrun.exe")));
    EXPECT_TRUE(TakeQuitMessage());
}

TEST_F(LaunchTest, TamperedOrMissingProgramIsExtractedAgainSilently) {
    ASSERT_TRUE(WriteBytes(File(L"kstcache"), "tampered"));
    EXPECT_FALSE(m_dlg.LaunchMainProgram());
    EXPECT_TRUE(m_boxes.boxes.empty());
    EXPECT_EQ(1, m_wrapper.calls);
    EXPECT_EQ(Narrow(File(L"Kestpak.da").c_str()), m_wrapper.lastPackage);
    EXPECT_EQ(Narrow(kPackagePassword + L"|" + kPackageInfoTable + L"|" + kPackageDataTable + L"|" +
                     m_dir.path().c_str() + L"|Kestrun.exe"),
              m_wrapper.lastArgs);
    EXPECT_EQ(1u, Runs().size());
    EXPECT_EQ(ReadBytes(m_standIn), ReadBytes(File(L"kstcache")));
    TakeQuitMessage();

    // Missing altogether: extracted at once.
    ASSERT_TRUE(DeleteFileW(File(L"kstcache").c_str()));
    EXPECT_FALSE(m_dlg.LaunchMainProgram());
    EXPECT_TRUE(m_boxes.boxes.empty());
    EXPECT_EQ(2, m_wrapper.calls);
    EXPECT_EQ(2u, Runs().size());
    EXPECT_TRUE(Exists(File(L"kstcache")));
}

TEST_F(LaunchTest, ProgramLeftUnderItsRunnableNameIsUsedAndAStaleCacheReplaced) {
    // An earlier run did not end normally: both names exist.
    InstallProgram(L"Kestrun.exe");
    ASSERT_TRUE(WriteBytes(File(L"kstcache"), "stale copy"));
    EXPECT_FALSE(m_dlg.LaunchMainProgram());
    EXPECT_TRUE(m_boxes.boxes.empty());
    EXPECT_EQ(0, m_wrapper.calls);
    EXPECT_EQ(1u, Runs().size());
    EXPECT_FALSE(Exists(File(L"Kestrun.exe")));
    EXPECT_EQ(ReadBytes(m_standIn), ReadBytes(File(L"kstcache")));
    EXPECT_TRUE(TakeQuitMessage());
}

TEST_F(LaunchTest, BetweenRunsNameThatCannotBeReplacedIsReportedOnceAndTheLauncherEnds) {
    InstallProgram(L"Kestrun.exe");
    ASSERT_TRUE(CreateDirectoryW(File(L"kstcache").c_str(), nullptr));  // a folder is never replaced
    EXPECT_FALSE(m_dlg.LaunchMainProgram());
    EXPECT_EQ(1u, Runs().size());
    ASSERT_EQ(1u, m_boxes.boxes.size());
    EXPECT_EQ(L"软件加载提示", m_boxes.boxes[0].title);
    EXPECT_EQ(std::wstring::npos, m_boxes.boxes[0].text.find(m_dir.path()));
    EXPECT_EQ(ReadBytes(m_standIn), ReadBytes(File(L"Kestrun.exe")));  // nothing lost
    EXPECT_TRUE(TakeQuitMessage());                                       // the launcher still ends
}

TEST_F(LaunchTest, CacheThatCannotBeRenamedIsReportedAndNothingRuns) {
    InstallProgram(L"kstcache");
    HANDLE held = CreateFileW(File(L"kstcache").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                              nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    bool launched = !m_dlg.LaunchMainProgram();
    CloseHandle(held);
    if (m_boxes.boxes.empty() && launched) {
        GTEST_SKIP() << "this system renames a file that is open without delete sharing";
    }
    EXPECT_FALSE(launched);
    ASSERT_EQ(1u, m_boxes.boxes.size());
    EXPECT_EQ(L"软件加载提示", m_boxes.boxes[0].title);
    EXPECT_TRUE(Runs().empty());
    EXPECT_TRUE(Exists(File(L"kstcache")));
    EXPECT_FALSE(TakeQuitMessage());
}

TEST_F(LaunchTest, CacheHeldForAMomentByAnotherProgramIsWaitedFor) {
    InstallProgram(L"kstcache");
    {
        HeldFile scanner(File(L"kstcache"), 300);
        ASSERT_TRUE(scanner.held());
        EXPECT_FALSE(m_dlg.LaunchMainProgram());
    }
    EXPECT_TRUE(m_boxes.boxes.empty()) << (m_boxes.boxes.empty() ? "" : ToUtf8(m_boxes.boxes[0].text.c_str()));
    EXPECT_EQ(1u, Runs().size());
    EXPECT_TRUE(Exists(File(L"kstcache")));
    EXPECT_TRUE(TakeQuitMessage());
}

TEST_F(LaunchTest, ProgramThatCannotStartShowsTheFailureAndKeepsItsName) {
    const std::string notAProgram = "this is not an executable";
    ASSERT_TRUE(WriteBytes(File(L"kstcache"), notAProgram));
    RecordProgramDigest(GetFileMd5(File(L"kstcache").c_str()));
    EXPECT_TRUE(m_dlg.LaunchMainProgram());
    ASSERT_EQ(1u, m_boxes.boxes.size());
    EXPECT_EQ(L"软件加载提示", m_boxes.boxes[0].title);
    EXPECT_EQ(0u, m_boxes.boxes[0].text.find(L"加载失败！\n"));
    EXPECT_EQ(std::wstring::npos, m_boxes.boxes[0].text.find(m_dir.path()));
    EXPECT_EQ(notAProgram, ReadBytes(File(L"Kestrun.exe")));
    EXPECT_FALSE(Exists(File(L"kstcache")));
    EXPECT_FALSE(TakeQuitMessage());

    // A second attempt repeats the whole operation, with the same outcome.
    EXPECT_TRUE(m_dlg.LaunchMainProgram());
    EXPECT_EQ(2u, m_boxes.boxes.size());
}

TEST_F(LaunchTest, ChildLeftRunningByTheProgramEndsWithTheJob) {
    InstallProgram(L"kstcache");
    ASSERT_TRUE(WriteBytes(File(L"kestrun.child"), ""));
    EXPECT_FALSE(m_dlg.LaunchMainProgram());
    DWORD pid = 0;
    for (int i = 0; i < 100 && !pid; ++i) {
        pid = static_cast<DWORD>(atol(ReadBytes(File(L"kestrun.child.pid")).c_str()));
        if (!pid) Sleep(20);
    }
    ASSERT_NE(0u, pid) << "the child did not start";
    HANDLE child = OpenProcess(SYNCHRONIZE, FALSE, pid);
    if (child) {
        EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(child, 3000)) << "the child outlived the job";
        CloseHandle(child);
    }
    EXPECT_TRUE(TakeQuitMessage());
}

TEST_F(LaunchTest, WithoutTheRuntimeNothingHappens) {
    g_bRuntimeLoaded = false;
    InstallProgram(L"kstcache");
    EXPECT_TRUE(m_dlg.LaunchMainProgram());
    ASSERT_EQ(1u, m_boxes.boxes.size());
    EXPECT_EQ(L"加载软件提示", m_boxes.boxes[0].title);
    EXPECT_EQ(L"软件启动失败！\n软件运行库未成功加载。", m_boxes.boxes[0].text);
    EXPECT_TRUE(Exists(File(L"kstcache")));
    EXPECT_TRUE(Runs().empty());
}

}  // namespace
