// The data-file validation of the start sequence: the package against its recorded
// digest, then the two component libraries against the digests fixed at build time.
#include <gtest/gtest.h>

#include <string>

#include "app/Globals.h"
#include "support/TestSupport.h"
#include "supervisor/DigestCodec.h"
#include "ui/EIPMfcAppDlg.h"
#include "util/FileDigest.h"

namespace {

std::string Narrow(const CString& text) {
    std::string out;
    for (wchar_t ch : text.Str()) out += static_cast<char>(ch);
    return out;
}

class PackageCheckTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_savedDir = g_strAppDir;
        m_savedLoaded = g_bRuntimeLoaded;
        g_strAppDir = m_dir.path().c_str();
        g_bRuntimeLoaded = true;
        ASSERT_TRUE(WriteBytes(m_dir.file(L"Kestpak.da"), "package bytes"));
        RecordPackageDigest(GetFileMd5(m_dir.file(L"Kestpak.da").c_str()));
    }
    void TearDown() override {
        g_strAppDir = m_savedDir;
        g_bRuntimeLoaded = m_savedLoaded;
    }
    void RecordPackageDigest(const CString& digest) {
        ASSERT_TRUE(WriteBytes(m_dir.file(L"AppConf.ini"), "[Data]\nApdbm5=" + Narrow(EncodeDigestText(digest)) + "\n"));
    }
    void CopyComponent(const wchar_t* name) {
        ASSERT_TRUE(CopyFileW((ProgramDirectory() + L"\\" + name).c_str(), m_dir.file(name).c_str(), FALSE)) << name;
    }
    std::wstring OnlyBoxText() {
        EXPECT_EQ(1u, m_boxes.boxes.size());
        if (m_boxes.boxes.empty()) return L"";
        EXPECT_EQ(L"软件加载提示", m_boxes.boxes[0].title);
        EXPECT_EQ(nullptr, m_boxes.boxes[0].owner);
        return m_boxes.boxes[0].text;
    }

    TempDir m_dir{L"package check"};
    CEIPMfcAppDlg m_dlg;
    RecordingMessageBoxes m_boxes;
    RecordingWebPages m_pages;

private:
    CString m_savedDir;
    bool m_savedLoaded = false;
};

TEST_F(PackageCheckTest, CompleteInstallationPasses) {
    CopyComponent(L"CsBrevinLab.dll");
    CopyComponent(L"CsBrevinApi.dll");
    EXPECT_TRUE(m_dlg.ValidateDataFiles());
    EXPECT_TRUE(m_boxes.boxes.empty());
}

TEST_F(PackageCheckTest, MissingPackageDigestEntry) {
    ASSERT_TRUE(WriteBytes(m_dir.file(L"AppConf.ini"), "; Apdbm5=x\nApexm5=y\n"));
    EXPECT_FALSE(m_dlg.ValidateDataFiles());
    EXPECT_EQ(L"加载配置文件失败！\r\nAppConf-apdbm5", OnlyBoxText());
}

TEST_F(PackageCheckTest, DamagedPackageShowsOneBoxWithoutLookingAtComponents) {
    ASSERT_TRUE(WriteBytes(m_dir.file(L"Kestpak.da"), "package bytez"));
    // The component files are missing too: still exactly one box, the package's.
    EXPECT_FALSE(m_dlg.ValidateDataFiles());
    EXPECT_EQ(L"数据文件错误，请重启软件后再尝试。\n若重启软件后仍无法正常加载，请进入网站下载完整安装包重装或修复软件。",
              OnlyBoxText());
    // An unreadable package is damaged as well.
    m_boxes.boxes.clear();
    ASSERT_TRUE(DeleteFileW(m_dir.file(L"Kestpak.da").c_str()));
    EXPECT_FALSE(m_dlg.ValidateDataFiles());
    EXPECT_EQ(1u, m_boxes.boxes.size());
}

TEST_F(PackageCheckTest, ComponentFilesAreCheckedInOrder) {
    EXPECT_FALSE(m_dlg.ValidateDataFiles());  // neither library present
    EXPECT_EQ(L"运行组件文件错误：CsLab校验失败。", OnlyBoxText());

    m_boxes.boxes.clear();
    CopyComponent(L"CsBrevinLab.dll");
    CopyComponent(L"CsBrevinApi.dll");
    std::string api = ReadBytes(m_dir.file(L"CsBrevinApi.dll"));
    api.back() ^= 1;
    ASSERT_TRUE(WriteBytes(m_dir.file(L"CsBrevinApi.dll"), api));
    EXPECT_FALSE(m_dlg.ValidateDataFiles());
    EXPECT_EQ(L"运行组件文件错误：CsApi校验失败。", OnlyBoxText());
}

TEST_F(PackageCheckTest, StartSequenceWithoutRuntimeStopsQuietly) {
    g_bRuntimeLoaded = false;
    EXPECT_TRUE(m_dlg.RunStartSequence());
    ASSERT_EQ(1u, m_boxes.boxes.size());
    EXPECT_EQ(L"初始化提示", m_boxes.boxes[0].title);
    EXPECT_EQ(L"运行库加载失败，请尝试重启软件...", m_boxes.boxes[0].text);
    EXPECT_TRUE(m_pages.pages.empty());
}

TEST_F(PackageCheckTest, StartSequenceOpensTheDownloadListOnceAfterTheBox) {
    ASSERT_TRUE(WriteBytes(m_dir.file(L"Kestpak.da"), "damaged"));
    size_t pagesWhileBoxShown = 99;
    m_boxes.onShow = [&](const RecordingMessageBoxes::Box&) { pagesWhileBoxShown = m_pages.pages.size(); };
    EXPECT_TRUE(m_dlg.RunStartSequence());
    EXPECT_EQ(1u, m_boxes.boxes.size());
    EXPECT_EQ(0u, pagesWhileBoxShown);
    ASSERT_EQ(1u, m_pages.pages.size());
    EXPECT_EQ(g_strWebsiteUrl.Str() + L"/softlist", m_pages.pages[0]);
}

}  // namespace
