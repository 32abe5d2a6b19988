// The real launcher in installation folders as the users' machines have them: one the user
// cannot write (Program Files to a standard user), and folders whose names code page 936
// cannot spell. Seen from outside only: boxes, files, which program started.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Driver.h"
#include "framework/Codepage.h"
#include "support/Installation.h"
#include "support/TestSupport.h"
#include "util/FileHelpers.h"

namespace {

const wchar_t kLoadTitle[] = L"软件加载提示";

std::wstring Environment(const wchar_t* name) {
    wchar_t value[MAX_PATH] = {};
    const DWORD length = GetEnvironmentVariableW(name, value, MAX_PATH);
    return length && length < MAX_PATH ? value : L"";
}

std::string Utf8(const std::vector<SeenBox>& boxes) {
    std::string text;
    for (const SeenBox& box : boxes) text += ToUtf8(box.text.c_str()) + "\n";
    return text;
}

// An installation in the read-only folder that CTest's fixture mounts, changed by the tests
// through the writable path to the same files.
class ReadOnlyInstallationE2E : public ::testing::Test {
protected:
    void SetUp() override {
        m_view = Environment(L"VELMORA_READONLY_VIEW");
        m_source = Environment(L"VELMORA_READONLY_SOURCE");
        if (m_view.empty() || m_source.empty()) GTEST_SKIP() << "run through CTest, whose fixture mounts the folder";
        RemoveContents(m_source);
        if (WriteBytes(View(L"probe"), "")) {
            DeleteFileW(View(L"probe").c_str());
            GTEST_SKIP() << "the fixture could not mount the folder read-only (it needs root)";
        }
        ASSERT_TRUE(MakeInstallation(m_source)) << "mkinstall failed";
        ASSERT_TRUE(FileExists(View(L"kstcache").c_str()));
        // A main program that is started waits until this file goes, where the tests see it.
        ASSERT_TRUE(WriteBytes(Source(L"kestrun.hold"), ""));
    }
    void TearDown() override {
        if (!m_source.empty()) RemoveContents(m_source);
    }

    // One box says the folder cannot be written (and not what the system or the component
    // said about the first file it could not make); nothing runs.
    void ExpectTheReadOnlyBoxAndNothingRuns() {
        ASSERT_TRUE(m_launcher.Start(View(L"Velmora.exe")));
        auto box = m_launcher.WaitForBox(20000);
        ASSERT_TRUE(box.has_value());
        EXPECT_EQ(kLoadTitle, box->title);
        EXPECT_NE(std::wstring::npos, box->text.find(L"安装文件夹无法写入")) << Utf8({*box});
        EXPECT_NE(std::wstring::npos, box->text.find(L"以管理员身份运行一次不能解决")) << Utf8({*box});
        PressBoxButton(box->hwnd, IDOK);
        EXPECT_FALSE(m_launcher.WaitForBox(1500).has_value()) << "one box";
        EXPECT_FALSE(MainProgramRuns());
        m_launcher.Kill();
    }
    std::wstring View(const wchar_t* name) const { return m_view + L"\\" + name; }
    std::wstring Source(const wchar_t* name) const { return m_source + L"\\" + name; }
    static bool MainProgramRuns() { return !ProcessesNamed(L"Kestrun.exe").empty(); }

    ScopedRuntimes m_runtimes;
    std::wstring m_view, m_source;
    DrivenProcess m_launcher;
};

TEST_F(ReadOnlyInstallationE2E, FirstRunSaysOnceThatTheFolderCannotBeWrittenAndStartsNothing) {
    ExpectTheReadOnlyBoxAndNothingRuns();
    EXPECT_TRUE(FileExists(View(L"kstcache").c_str()));
    EXPECT_FALSE(FileExists(View(L"Kestrun.exe").c_str()));
}

TEST_F(ReadOnlyInstallationE2E, AProgramThatMustBeExtractedAgainGetsTheSameBox) {
    ASSERT_TRUE(MoveFileW(Source(L"kstcache").c_str(), Source(L"Kestrun.exe").c_str()));
    ASSERT_TRUE(WriteBytes(Source(L"Kestrun.exe"), "damaged"));
    ExpectTheReadOnlyBoxAndNothingRuns();
    EXPECT_EQ("damaged", ReadBytes(View(L"Kestrun.exe")));
}

TEST_F(ReadOnlyInstallationE2E, ProgramUnderItsRunnableNameRunsToANormalEndWithoutABox) {
    ASSERT_TRUE(MoveFileW(Source(L"kstcache").c_str(), Source(L"Kestrun.exe").c_str()));
    ASSERT_TRUE(m_launcher.Start(View(L"Velmora.exe")));
    ASSERT_TRUE(WaitUntil(&MainProgramRuns, 20000)) << "the main program did not start";
    ASSERT_TRUE(DeleteFileW(Source(L"kestrun.hold").c_str()));
    const std::vector<SeenBox> boxes = m_launcher.AnswerUntilExit({}, 20000);
    EXPECT_TRUE(boxes.empty()) << Utf8(boxes);
    DWORD exitCode = 1;
    ASSERT_TRUE(m_launcher.WaitForExit(5000, &exitCode));
    EXPECT_EQ(0u, exitCode);
    // The file keeps its program name, which the next run uses as it is.
    EXPECT_TRUE(FileExists(View(L"Kestrun.exe").c_str()));
    EXPECT_FALSE(FileExists(View(L"kstcache").c_str()));
}

// An installation folder named outside code page 936 and, where best fit would turn that
// name into another folder's, an installation of its own under that other name beside it.
struct ForeignName {
    const wchar_t* folder;
    const wchar_t* lookAlike;  // null: best fit names no folder that can exist
    const char* label;
};
void PrintTo(const ForeignName& name, std::ostream* out) { *out << name.label; }

// Everything under `folder` but `skip`, with sizes and write times: what changes there shows.
void List(const std::wstring& folder, const std::wstring& skip, std::vector<std::wstring>& out) {
    for (const std::wstring& name : FolderEntries(folder)) {
        const std::wstring path = folder + L"\\" + name;
        WIN32_FILE_ATTRIBUTE_DATA data = {};
        if (path == skip || !GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) continue;
        out.push_back(path + L" " + std::to_wstring(data.nFileSizeLow) + L" " +
                      std::to_wstring(data.ftLastWriteTime.dwLowDateTime));
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) List(path, skip, out);
    }
}

// The ANSI code page writes `text` and reads it back unchanged (no default character, no
// look-alike).
bool SpelledByTheCodePage(const std::wstring& text) {
    const int length = static_cast<int>(text.size());
    const int needed = WideCharToMultiByte(CP_ACP, 0, text.c_str(), length, nullptr, 0, nullptr, nullptr);
    std::string narrow(static_cast<size_t>(needed > 0 ? needed : 0), '\0');
    if (needed <= 0 || !WideCharToMultiByte(CP_ACP, 0, text.c_str(), length, &narrow[0], needed, nullptr, nullptr)) {
        return false;
    }
    return NarrowToWide(narrow.data(), needed, CP_ACP) == CString(text.c_str());
}

class ForeignFolderNameE2E : public ::testing::TestWithParam<ForeignName> {
protected:
    void SetUp() override {
        // Run in another locale, the prefix must really give its code page.
        const std::wstring expectedCodePage = Environment(L"VELMORA_EXPECTED_ACP");
        if (!expectedCodePage.empty()) {
            ASSERT_EQ(std::stoul(expectedCodePage), GetACP());
        }
        m_install = m_parent.file(GetParam().folder);
        ASSERT_TRUE(MakeInstallation(m_install)) << "mkinstall failed";
        if (GetParam().lookAlike) {
            ASSERT_TRUE(MakeInstallation(m_parent.file(GetParam().lookAlike)));
        }
        m_outsideBefore = Outside();
    }
    std::vector<std::wstring> Outside() const {
        std::vector<std::wstring> entries;
        List(m_parent.path(), m_install, entries);
        return entries;
    }
    std::wstring File(const wchar_t* name) const { return m_install + L"\\" + name; }
    size_t Runs() const { return ReadUtf8Lines(File(L"kestrun.log")).size(); }

    ScopedRuntimes m_runtimes;
    TempDir m_parent{L"names"};
    std::wstring m_install;
    std::vector<std::wstring> m_outsideBefore;
};

TEST_P(ForeignFolderNameE2E, MainProgramRunsAlsoAfterAReextractionAndNothingIsWrittenOutside) {
    DrivenProcess first;
    ASSERT_TRUE(first.Start(File(L"Velmora.exe")));
    const std::vector<SeenBox> firstBoxes = first.AnswerUntilExit({}, 30000);
    EXPECT_TRUE(firstBoxes.empty()) << Utf8(firstBoxes);
    ASSERT_TRUE(first.WaitForExit(5000));
    EXPECT_EQ(1u, Runs());

    // Missing now: extracted again through the component, which takes narrow paths.
    ASSERT_TRUE(DeleteFileW(File(L"kstcache").c_str()));
    DrivenProcess again;
    ASSERT_TRUE(again.Start(File(L"Velmora.exe")));
    const std::vector<SeenBox> boxes = again.AnswerUntilExit({}, 30000);
    if (boxes.empty()) {
        ASSERT_TRUE(again.WaitForExit(5000));
        EXPECT_EQ(2u, Runs());
        EXPECT_EQ(ReadBytes(BinDir() + L"\\Kestrun.exe"), ReadBytes(File(L"kstcache")));
    } else {
        // A volume without short names for a folder the code page cannot spell: the one
        // clear message, and nothing extracted.
        EXPECT_FALSE(SpelledByTheCodePage(m_install)) << "code page " << GetACP() << " spells the folder's name";
        ASSERT_EQ(1u, boxes.size()) << Utf8(boxes);
        EXPECT_NE(std::wstring::npos, boxes[0].text.find(L"运行组件无法识别的字符")) << Utf8(boxes);
        EXPECT_FALSE(FileExists(File(L"Kestrun.exe").c_str()));
        again.Kill();
    }
    EXPECT_EQ(m_outsideBefore, Outside());
}

INSTANTIATE_TEST_SUITE_P(
    Names, ForeignFolderNameE2E,
    ::testing::Values(ForeignName{L"\xC124\xCE58 Zo\x00EB \xD83D\xDE42", nullptr, "KoreanLatinEmoji"},
                      ForeignName{L"Velmora\x00B2", L"Velmora2", "LookAlikeOfAnotherInstallation"}),
    [](const ::testing::TestParamInfo<ForeignName>& info) { return std::string(info.param.label); });

}  // namespace
