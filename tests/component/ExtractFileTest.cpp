// The launcher's side of the extraction call: narrow strings in the thread's ANSI code
// page, never a look-alike of a path, and an error text that always means failure.
#include <gtest/gtest.h>

#include "ComponentTestSupport.h"
#include "component/ComponentPath.h"
#include "component/RuntimeComponent.h"
#include "framework/Codepage.h"

namespace {

class ExtractBoundary : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(CopyComponentCompanions(dir.path()));
        ASSERT_TRUE(CopyAs(ProbeFile(L"probe_echo.dll"), dir.path(), L"CsBrevinApi.dll"));
        launcher.reset(new ScopedLauncherDir(dir.path()));
        ASSERT_TRUE(LoadInstalledComponent(holder));
    }
    void TearDown() override {
        holder.Unload();
        launcher.reset();
    }

    bool Extract(const CString& targetDir, const CString& fileName, CString& error) {
        return holder.ExtractFile(L"C:\\pkg\\Kestpak.da", L"pw", L"DatFileInfo", L"FileDat", targetDir, fileName,
                                  error);
    }

    TempDir dir{L"boundary"};
    std::unique_ptr<ScopedLauncherDir> launcher;
    RecordingMessageBoxes boxes;
    CRuntimeComponent holder;
};

TEST_F(ExtractBoundary, ResultAndErrorTextDecideTogether) {
    CString error = L"stale";
    EXPECT_TRUE(Extract(L"C:\\dir", L"ok", error));
    EXPECT_TRUE(error.IsEmpty());

    error = L"stale";
    EXPECT_FALSE(Extract(L"C:\\dir", L"false-silent", error));
    EXPECT_TRUE(error.IsEmpty());

    // A text means failure even when the component said true.
    EXPECT_FALSE(Extract(L"C:\\dir", L"true-with-error", error));
    EXPECT_EQ(CString(L"component said no"), error);

    EXPECT_FALSE(Extract(L"C:\\dir", L"echo", error));
    EXPECT_EQ(CString(L"C:\\pkg\\Kestpak.da|pw|DatFileInfo|FileDat|C:\\dir|echo"), error)
        << "the six strings arrive in parameter order";
    EXPECT_TRUE(boxes.boxes.empty()) << "the bridge shows nothing itself";
}

TEST_F(ExtractBoundary, WithoutObjectNothingIsCalled) {
    CRuntimeComponent empty;
    CString error = L"stale";
    EXPECT_FALSE(empty.ExtractFile(L"a", L"b", L"c", L"d", L"e", L"ok", error));
    EXPECT_TRUE(error.IsEmpty());
}

TEST_F(ExtractBoundary, ChineseTextCrossesTheBoundaryIntactUnderCodePage936) {
    if (GetACP() != 936) GTEST_SKIP() << "needs the Chinese ANSI code page, this process has " << GetACP();
    CString error;
    EXPECT_FALSE(Extract(L"C:\\软件\\发票打印", L"echo", error));
    EXPECT_EQ(CString(L"C:\\pkg\\Kestpak.da|pw|DatFileInfo|FileDat|C:\\软件\\发票打印|echo"), error);
}

TEST_F(ExtractBoundary, FolderTheCodePageCannotSpellGoesOverAsItsShortFormOrNotAtAll) {
    // U+0E01 (Thai) exists neither in code page 936 nor in 1252: no look-alike, no "?".
    const std::wstring foreign = dir.file(L"a\x0E01" L"b");
    ASSERT_TRUE(CreateDirectoryW(foreign.c_str(), nullptr));
    wchar_t shortForm[MAX_PATH] = {};
    ASSERT_NE(0u, GetShortPathNameW(foreign.c_str(), shortForm, MAX_PATH));
    std::string narrow;
    ASSERT_TRUE(ComponentPathText(foreign.c_str(), narrow));
    EXPECT_EQ(WideToNarrow(shortForm), narrow);
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(narrow.c_str())) << "names the same folder";
    CString error;
    EXPECT_FALSE(Extract(foreign.c_str(), L"echo", error));
    EXPECT_EQ(CString(L"C:\\pkg\\Kestpak.da|pw|DatFileInfo|FileDat|") + NarrowToWide(narrow.c_str()) + L"|echo", error);

    // Without a short form (here: not there at all) the component is not called.
    EXPECT_FALSE(ComponentPathText(dir.file(L"c\x0E01").c_str(), narrow));
    EXPECT_TRUE(narrow.empty());
    error = L"stale";
    EXPECT_FALSE(Extract(dir.file(L"c\x0E01").c_str(), L"echo", error));
    EXPECT_TRUE(error.IsEmpty());
}

}  // namespace
