// The verification core without a window: which outcome and message each state of the
// installation gives (one case per row of the table of verified files), that a busy file is
// not a damaged one, that the verified program stays the file that runs, and that an
// extraction producing the wrong bytes is caught before anything starts.
#include <gtest/gtest.h>

#include <string>

#include "app/Globals.h"
#include "framework/Codepage.h"
#include "supervisor/MainCommandLine.h"
#include "supervisor/MainProgramRun.h"
#include "supervisor/OutcomeMessages.h"
#include "supervisor/Verification.h"
#include "support/TestSupport.h"
#include "component/RuntimeComponent.h"
#include "util/DigestCodec.h"
#include "util/FileDigest.h"

namespace {

std::string Narrow(const CString& text) { return WideToNarrow(text); }

const wchar_t kDamaged[] =
    L"数据文件错误，请重启软件后再尝试。\n若重启软件后仍无法正常加载，请进入网站下载完整安装包重装或修复软件。";

// What the user is told for each verified file, written out here rather than read from the
// table: a file added to the table needs its messages here too.
struct FileMessages {
    std::wstring name;
    std::wstring missingTitle, missing;
    std::wstring differentTitle, different;
};
const FileMessages kFileMessages[] = {
    {L"Kestpak.da", L"软件加载提示", kDamaged, L"软件加载提示", kDamaged},
    {L"CsBrevinLab.dll", L"初始化提示", L"缺少clab库文件，请使用软件安装包修复软件！", L"软件加载提示",
     L"运行组件文件错误：CsLab校验失败。"},
    {L"CsBrevinApi.dll", L"初始化提示", L"缺少capi库文件，请使用软件安装包修复软件！", L"软件加载提示",
     L"运行组件文件错误：CsApi校验失败。"},
    {L"Kestrun.exe", L"加载软件提示", L"软件加载失败，未找到加载文件，请重试。", L"软件加载提示", kDamaged},
};

// Keeps the verified program held, as it stays until its process exists, and counts the
// starts and the starts taken back.
class HoldingStart : public ISuspendedStart {
public:
    LaunchOutcome StartSuspended(CVerifiedProgram& program) override {
        ++starts;
        held = std::move(program);
        return LaunchOutcome::Of(LaunchStatus::Ok);
    }
    void Discard() override {
        ++discards;
        held = CVerifiedProgram();
    }
    CVerifiedProgram held;
    int starts = 0;
    int discards = 0;
};

class VerificationTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_context.installation.folder = m_dir.path().c_str();
        m_standIn = ProgramDirectory() + L"\\Kestrun.exe";
        WriteDataFiles();
        Record(GetFileMd5(m_dir.file(L"Kestpak.da").c_str()), GetFileMd5(m_standIn.c_str()));
    }
    void WriteDataFiles() {
        ASSERT_TRUE(WriteBytes(m_dir.file(L"Kestpak.da"), "package bytes"));
        for (const VerifiedFile& file : kVerifiedFiles) {
            if (file.role != FileRole::Component) continue;
            ASSERT_TRUE(CopyFileW((ProgramDirectory() + L"\\" + file.name).c_str(), m_dir.file(file.name).c_str(), FALSE));
        }
    }
    void Record(const CString& package, const CString& program) {
        ASSERT_TRUE(WriteBytes(m_dir.file(L"AppConf.ini"), "[Data]\nApdbm5=" + Narrow(EncodeDigestText(package)) +
                                                               "\nApexm5=" + Narrow(EncodeDigestText(program)) + "\n"));
    }
    LaunchStatus Verify() { return VerifyDataFiles(m_context).status; }
    // An extraction that copies `source` into place (nothing when it is empty), counting its calls.
    ExtractProgram CopyingExtraction(const std::wstring& source) {
        return [this, source](CString&) {
            ++m_extractions;
            return source.empty() || CopyFileW(source.c_str(), m_dir.file(L"Kestrun.exe").c_str(), FALSE) != FALSE;
        };
    }
    // The outcome of the step that meets `file` missing or changed.
    LaunchOutcome CheckDamaged(const VerifiedFile& file, bool missing) {
        if (file.role == FileRole::MainProgram) {
            // The package's copy: none written, or not the recorded program.
            const std::wstring wrong = m_dir.file(L"wrong.bin");
            EXPECT_TRUE(WriteBytes(wrong, "not the recorded program"));
            HoldingStart start;
            return PrepareMainProgram(m_context, CopyingExtraction(missing ? L"" : wrong), start);
        }
        const std::wstring path = m_dir.file(file.name);
        EXPECT_TRUE(missing ? DeleteFileW(path.c_str()) != FALSE : WriteBytes(path, ReadBytes(path) + "x"));
        // A component file is looked for before the component is loaded.
        if (missing && file.role == FileRole::Component) return OutcomeOf(CRuntimeComponent().Load(m_context.installation));
        return VerifyDataFiles(m_context);
    }

    TempDir m_dir{L"verification"};
    VerificationContext m_context;
    std::wstring m_standIn;
    int m_extractions = 0;
};

TEST_F(VerificationTest, EachVerifiedFileMissingOrChangedHasItsOwnMessage) {
    const CString dir = m_context.installation.folder;
    for (const VerifiedFile& file : kVerifiedFiles) {
        const FileMessages* expected = nullptr;
        for (const FileMessages& messages : kFileMessages) {
            if (messages.name == file.name) expected = &messages;
        }
        ASSERT_NE(nullptr, expected) << "no messages written down for " << Narrow(file.name);
        for (bool missing : {true, false}) {
            SCOPED_TRACE(Narrow(file.name) + (missing ? " missing" : " changed"));
            const OutcomeMessage message = MessageFor(CheckDamaged(file, missing), dir);
            EXPECT_EQ(missing ? expected->missingTitle : expected->differentTitle, message.title.Str());
            EXPECT_EQ(missing ? expected->missing : expected->different, message.text.Str());
            WriteDataFiles();
        }
    }
    EXPECT_EQ(LaunchStatus::Ok, Verify());
}

TEST_F(VerificationTest, DataFilesAreCheckedPackageFirstAndOnlyAgainstARecordedDigest) {
    ASSERT_TRUE(DeleteFileW(m_dir.file(L"CsBrevinLab.dll").c_str()));
    ASSERT_TRUE(WriteBytes(m_dir.file(L"Kestpak.da"), "package bytez"));
    LaunchOutcome outcome = VerifyDataFiles(m_context);
    EXPECT_EQ(LaunchStatus::FileDiffers, outcome.status);
    ASSERT_NE(nullptr, outcome.file);
    EXPECT_EQ(std::wstring(L"Kestpak.da"), outcome.file->name) << "the package is named before any component file";
    // A package that cannot be read never matches, not even an empty record.
    ASSERT_TRUE(DeleteFileW(m_dir.file(L"Kestpak.da").c_str()));
    Record(L"", GetFileMd5(m_standIn.c_str()));
    EXPECT_EQ(LaunchStatus::FileDiffers, Verify());
    ASSERT_TRUE(WriteBytes(m_dir.file(L"AppConf.ini"), "; Apdbm5=x\nApexm5=y\n"));
    EXPECT_EQ(LaunchStatus::DigestUnrecorded, Verify());
}

TEST_F(VerificationTest, AFileHeldByAnotherProgramIsBusyNotDamagedAndIsWaitedForAMoment) {
    {
        HeldFile scanner(m_dir.file(L"Kestpak.da"), 300);
        ASSERT_TRUE(scanner.held());
        EXPECT_EQ(LaunchStatus::Ok, Verify());
    }
    HeldFile writer(m_dir.file(L"CsBrevinApi.dll"), 20000);
    ASSERT_TRUE(writer.held());
    const LaunchOutcome outcome = VerifyDataFiles(m_context);
    EXPECT_EQ(LaunchStatus::FileBusy, outcome.status);
    const OutcomeMessage message = MessageFor(outcome, m_context.installation.folder);
    EXPECT_EQ(L"软件加载提示", message.title.Str());
    EXPECT_EQ(L"数据文件正被其他程序占用：CsBrevinApi.dll\n请关闭占用该文件的程序后重启软件。", message.text.Str());
}

TEST_F(VerificationTest, EachFailureHasItsOwnMessage) {
    const CString dir = m_context.installation.folder;
    struct Case {
        LaunchOutcome outcome;
        const wchar_t* title;
        std::wstring text;
    } cases[] = {
        {LaunchOutcome::For(LaunchStatus::DigestUnrecorded, VerifiedFileOf(VerifiedFileId::Package)), L"软件加载提示",
         L"加载配置文件失败！\r\nAppConf-apdbm5"},
        {LaunchOutcome::For(LaunchStatus::DigestUnrecorded, VerifiedFileOf(VerifiedFileId::MainProgram)),
         L"软件加载提示", L"读取配置文件失败！\r\nAppConf-apexm5"},
        {LaunchOutcome::Of(LaunchStatus::InstallationReadOnly), L"软件加载提示",
         L"软件加载失败！\n软件安装文件夹无法写入。\n"
         L"请将软件重新安装到当前用户可以写入的文件夹，或请管理员为此文件夹开放写入权限。\n"
         L"以管理员身份运行一次不能解决此问题。"},
        {LaunchOutcome::Of(LaunchStatus::FolderNameUnreadable), L"软件加载提示",
         L"软件加载失败！\n软件安装文件夹的名称含有运行组件无法识别的字符。\n"
         L"请将软件安装到名称只含中文、英文字母和数字的文件夹中。"},
        // The component's text: internals are never shown, an empty text asks to retry.
        {ExtractionFailure(L"no such table: FileDat"), L"软件加载提示", L"软件加载失败！\n文件加载出错。"},
        {ExtractionFailure(L"file is not a database (sql)"), L"软件加载提示", L"软件加载失败！\n文件加载出错。"},
        {ExtractionFailure(L"bad 73kvd_204519"), L"软件加载提示", L"软件加载失败！\n文件加载出错。"},
        {ExtractionFailure(L""), L"加载软件提示", L"软件加载失败！\n请重试。"},
        {ExtractionFailure(L"disk full"), L"软件加载提示", L"软件加载失败！\ndisk full"},
        // System and exception texts keep the installation's paths out.
        {LaunchOutcome::Of(LaunchStatus::Exception, 0, dir + L"\\x: bad"), L"软件加载提示",
         L"加载失败！\n原因：文件或路径错误。"},
    };
    for (const Case& c : cases) {
        const OutcomeMessage message = MessageFor(c.outcome, dir);
        EXPECT_EQ(c.title, message.title.Str()) << static_cast<int>(c.outcome.status);
        EXPECT_EQ(c.text, message.text.Str()) << static_cast<int>(c.outcome.status);
    }
    EXPECT_TRUE(MessageFor(LaunchOutcome::Of(LaunchStatus::Abandoned), dir).text.IsEmpty());
}

TEST_F(VerificationTest, PresentProgramNeedsItsRecordedDigestAndAnExtractedOneToo) {
    ASSERT_TRUE(CopyFileW(m_standIn.c_str(), m_dir.file(L"Kestrun.exe").c_str(), FALSE));
    ASSERT_TRUE(WriteBytes(m_dir.file(L"AppConf.ini"), "Apdbm5=x\n"));
    HoldingStart start;
    EXPECT_EQ(LaunchStatus::DigestUnrecorded, PrepareMainProgram(m_context, CopyingExtraction(m_standIn), start).status);
    EXPECT_EQ(0, m_extractions);
    // Missing: extracted at once, but what was extracted cannot be checked either.
    ASSERT_TRUE(DeleteFileW(m_dir.file(L"Kestrun.exe").c_str()));
    EXPECT_EQ(LaunchStatus::DigestUnrecorded, PrepareMainProgram(m_context, CopyingExtraction(m_standIn), start).status);
    EXPECT_EQ(1, m_extractions);
    EXPECT_EQ(0, start.starts);
}

TEST_F(VerificationTest, ExtractionThatWritesTheWrongBytesIsCaughtBeforeAnythingStarts) {
    ASSERT_TRUE(WriteBytes(m_dir.file(L"kstcache"), "tampered"));
    const std::wstring wrong = m_dir.file(L"wrong.bin");
    ASSERT_TRUE(WriteBytes(wrong, "not the recorded program either"));
    HoldingStart start;
    EXPECT_EQ(LaunchStatus::ExtractedProgramDiffers, PrepareMainProgram(m_context, CopyingExtraction(wrong), start).status);
    EXPECT_EQ(1, m_extractions);
    // Created while its digest ran, perhaps, but taken back unstarted.
    EXPECT_EQ(start.starts, start.discards);
    EXPECT_FALSE(start.held.file);

    // The right bytes pass and are started, held until then.
    EXPECT_EQ(LaunchStatus::Ok, PrepareMainProgram(m_context, CopyingExtraction(m_standIn), start).status);
    EXPECT_EQ(start.starts, start.discards + 1);
    EXPECT_TRUE(start.held.file);
    EXPECT_EQ(CString(m_dir.file(L"Kestrun.exe").c_str()), start.held.path);
}

TEST_F(VerificationTest, FolderTheComponentCannotBeGivenIsNeverExtractedInto) {
    // No exact narrow form and no short form: here a folder that is not there at all.
    m_context.installation.folder = m_dir.file(L"\xC124\xCE58").c_str();
    HoldingStart start;
    EXPECT_EQ(LaunchStatus::FolderNameUnreadable, PrepareMainProgram(m_context, CopyingExtraction(m_standIn), start).status);
    EXPECT_EQ(0, m_extractions);
}

TEST_F(VerificationTest, VerifiedProgramCannotBeChangedUntilItHasStarted) {
    ASSERT_TRUE(CopyFileW(m_standIn.c_str(), m_dir.file(L"kstcache").c_str(), FALSE));
    const std::wstring other = m_dir.file(L"other.exe");
    ASSERT_TRUE(WriteBytes(other, "someone else's program"));
    HoldingStart start;
    ASSERT_EQ(LaunchStatus::Ok, PrepareMainProgram(m_context, CopyingExtraction(m_standIn), start).status);
    EXPECT_EQ(0, m_extractions);

    // Other processes try to write, replace and rename the file: all refused.
    const std::wstring target = m_dir.file(L"Kestrun.exe");
    RunAndWait(L"cmd /c echo x>> \"" + target + L"\"");
    RunAndWait(L"cmd /c copy /y \"" + other + L"\" \"" + target + L"\"");
    RunAndWait(L"cmd /c move /y \"" + target + L"\" \"" + m_dir.file(L"moved.exe") + L"\"");
    EXPECT_EQ(ReadBytes(m_standIn), ReadBytes(target));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(m_dir.file(L"moved.exe").c_str()));

    start.Discard();

    // Started for real: suspended, the file let go, the bytes mapped; then run.
    CMainProgramRun run;
    run.SetCommandLine(BuildMainCommandLine(target.c_str(), m_context.installation.folder, g_strServerAddress, g_strServerPort));
    ASSERT_EQ(LaunchStatus::Ok, PrepareMainProgram(m_context, CopyingExtraction(m_standIn), run).status);
    RunAndWait(L"cmd /c copy /y \"" + other + L"\" \"" + target + L"\"");
    EXPECT_EQ(ReadBytes(m_standIn), ReadBytes(target));
    run.Resume();
    DWORD exitCode = 1;
    ASSERT_TRUE(run.WaitForExit(nullptr, exitCode));
    EXPECT_EQ(0u, exitCode);
    const std::string log = ReadBytes(m_dir.file(L"kestrun.log"));
    EXPECT_NE(std::string::npos, log.find(" exit=0 ")) << "the verified stand-in ran: " << log;
}

}  // namespace
