// Loading the runtime component from a launcher folder: every way it can fail shows
// exactly one message and leaves the holder empty, with the restricted-search loader and
// with the altered search path of the systems that lack it.
#include <gtest/gtest.h>

#include "ComponentTestSupport.h"
#include "support/Installation.h"
#include "app/Checks.h"
#include "app/Globals.h"
#include "component/LibraryLoad.h"
#include "component/RuntimeComponent.h"
#include "util/FileDigest.h"
#include "util/FileHelpers.h"

namespace {

const wchar_t kInitTitle[] = L"初始化提示";

bool WithoutRestrictedSearch() { return false; }
bool WithRestrictedSearch() { return true; }

// Run once with each answer of the loader probe (true: the restricted-search loader).
class ComponentLoad : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override {
        ASSERT_FALSE(dir.path().empty());
        m_previousProbe = SetLoaderProbeForTesting(GetParam() ? &WithRestrictedSearch : &WithoutRestrictedSearch);
    }
    void TearDown() override { SetLoaderProbeForTesting(m_previousProbe); }

    // Puts `source` into the launcher folder as CsBrevinApi.dll (and the component's other
    // files beside it unless told otherwise).
    void Install(const std::wstring& apiSource, bool withLab = true) {
        if (withLab) {
            ASSERT_TRUE(CopyComponentCompanions(dir.path()));
        }
        if (!apiSource.empty()) {
            ASSERT_TRUE(CopyAs(apiSource, dir.path(), L"CsBrevinApi.dll"));
        }
    }

    void ExpectEmptyAfterFailure(CRuntimeComponent& holder) {
        EXPECT_EQ(nullptr, holder.Module());
        EXPECT_FALSE(holder.IsLoaded());
        EXPECT_EQ(nullptr, GetModuleHandleW(L"CsBrevinApi.dll")) << "the library is still loaded";
    }

    TempDir dir{L"component"};
    RecordingMessageBoxes boxes;
    RecordingWebPages pages;
    LoaderProbe m_previousProbe = nullptr;
};

INSTANTIATE_TEST_SUITE_P(Loaders, ComponentLoad, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return std::string(info.param ? "RestrictedSearch" : "AlteredSearchPath");
                         });

TEST_P(ComponentLoad, TheOwnFolderOfThisProgramHoldsNoComponent) {
    // Everything below relies on the search reaching the launcher folder.
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(ProbeFile(L"CsBrevinApi.dll").c_str()));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(ProbeFile(L"CsBrevinLab.dll").c_str()));
}

TEST_P(ComponentLoad, RealComponentLoadsAndUnloads) {
    Install(BinDirectory() + L"\\CsBrevinApi.dll");
    ScopedLauncherDir launcher(dir.path());
    CRuntimeComponent holder;
    ASSERT_TRUE(LoadInstalledComponent(holder));
    EXPECT_TRUE(boxes.boxes.empty());
    EXPECT_TRUE(holder.IsLoaded());
    wchar_t loaded[MAX_PATH] = {};
    GetModuleFileNameW(holder.Module(), loaded, MAX_PATH);
    EXPECT_EQ(0, lstrcmpiW(loaded, (dir.path() + L"\\CsBrevinApi.dll").c_str())) << loaded;
    holder.Unload();
    EXPECT_EQ(nullptr, holder.Module());
    EXPECT_FALSE(holder.IsLoaded());
    EXPECT_EQ(nullptr, GetModuleHandleW(L"CsBrevinApi.dll"));
    // The stand-in has the platform compiler's object layout: one deleting destructor,
    // asked to free the memory, before the library went.
    EXPECT_EQ((std::vector<std::wstring>{L"object destroyed", L"object memory freed", L"library freed"}),
              ReadUtf8Lines(dir.file(L"CsBrevinApi.log")));
}

TEST_P(ComponentLoad, DependencyIsFoundBesideTheLibraryBeforeTheCurrentDirectory) {
    EXPECT_TRUE(SystemHasRestrictedSearchLoader()) << "Wine's kernel32 exports AddDllDirectory";
    // No search path of ours reaches the launcher folder, and the current directory holds
    // a library under the dependency's name that lacks what the component needs.
    Install(BinDirectory() + L"\\CsBrevinApi.dll");
    TempDir elsewhere(L"current");
    ASSERT_TRUE(CopyAs(ProbeFile(L"probe_echo.dll"), elsewhere.path(), L"CsBrevinLab.dll"));
    wchar_t previous[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, previous);
    ASSERT_TRUE(SetCurrentDirectoryW(elsewhere.path().c_str()));
    CRuntimeComponent holder;
    const bool loaded = holder.Load(InstalledComponent(dir.path())).ok();
    SetCurrentDirectoryW(previous);
    ASSERT_TRUE(loaded);
    EXPECT_TRUE(boxes.boxes.empty());
    wchar_t dependency[MAX_PATH] = {};
    GetModuleFileNameW(GetModuleHandleW(L"CsBrevinLab.dll"), dependency, MAX_PATH);
    EXPECT_EQ(0, lstrcmpiW(dependency, dir.file(L"CsBrevinLab.dll").c_str())) << dependency;
}

TEST_P(ComponentLoad, MissingLibraryFilesAreNamedOneAtATime) {
    ScopedLauncherDir launcher(dir.path());
    {
        // Both missing: only the first is reported.
        CRuntimeComponent holder;
        EXPECT_FALSE(LoadInstalledComponent(holder));
        ASSERT_EQ(1u, boxes.boxes.size());
        EXPECT_EQ(L"缺少clab库文件，请使用软件安装包修复软件！", boxes.boxes[0].text);
        EXPECT_EQ(kInitTitle, boxes.boxes[0].title);
        EXPECT_EQ(nullptr, boxes.boxes[0].owner);
        ExpectEmptyAfterFailure(holder);
    }
    {
        // Only the API library present: still the first message.
        Install(ProbeFile(L"probe_echo.dll"), false);
        CRuntimeComponent holder;
        EXPECT_FALSE(LoadInstalledComponent(holder));
        ASSERT_EQ(2u, boxes.boxes.size());
        EXPECT_EQ(L"缺少clab库文件，请使用软件安装包修复软件！", boxes.boxes[1].text);
        ExpectEmptyAfterFailure(holder);
    }
    EXPECT_TRUE(pages.pages.empty());
}

TEST_P(ComponentLoad, MissingDependencyAsksForTheRuntimeAndOpensItsPageOnce) {
    Install(ProbeFile(L"probe_needsgone.dll"));
    ScopedLauncherDir launcher(dir.path());
    size_t pagesWhenShown = 99;
    boxes.onShow = [&](const RecordingMessageBoxes::Box&) { pagesWhenShown = pages.pages.size(); };
    CRuntimeComponent holder;
    EXPECT_FALSE(LoadInstalledComponent(holder));
    ASSERT_EQ(1u, boxes.boxes.size());
    EXPECT_EQ(L"运行环境检测提示", boxes.boxes[0].title);
    EXPECT_EQ(L"本机Windows操作系统缺少微软VC++运行库，软件无法正常加载，请下载安装VC++运行库后再打开软件！\n"
              L"如果下载或安装失败，请咨询软件服务人员。",
              boxes.boxes[0].text);
    EXPECT_EQ(0u, pagesWhenShown) << "the page opens only after the box is closed";
    ASSERT_EQ(1u, pages.pages.size());
    EXPECT_EQ(kVcRedistDownloadPage.Str(), pages.pages[0]);
    EXPECT_NE(std::wstring::npos, pages.pages[0].find(L"/vs/17/release/vc_redist.x86.exe"));
    ExpectEmptyAfterFailure(holder);
}

TEST_P(ComponentLoad, RealApiLibraryCannotLoadWithoutItsCompanion) {
    // The stand-in really needs CsBrevinLab.dll: loaded alone it fails with 126.
    ASSERT_TRUE(CopyAs(BinDirectory() + L"\\CsBrevinApi.dll", dir.path(), L"CsBrevinApi.dll"));
    ScopedLauncherDir launcher(dir.path());
    SetLastError(0);
    HMODULE module = LoadLibraryW(L"CsBrevinApi.dll");
    const DWORD error = GetLastError();
    if (module) FreeLibrary(module);
    EXPECT_EQ(nullptr, module);
    EXPECT_EQ(static_cast<DWORD>(ERROR_MOD_NOT_FOUND), error);
}

TEST_P(ComponentLoad, WrongArchitectureShowsTheErrorCode) {
    Install(ProbeFile(L"probe_x64.dll"));
    ScopedLauncherDir launcher(dir.path());
    CRuntimeComponent holder;
    EXPECT_FALSE(LoadInstalledComponent(holder));
    ASSERT_EQ(1u, boxes.boxes.size());
    EXPECT_EQ(kInitTitle, boxes.boxes[0].title);
    EXPECT_EQ(L"运行库加载失败，错误码：193", boxes.boxes[0].text);
    EXPECT_TRUE(pages.pages.empty());
    ExpectEmptyAfterFailure(holder);
}

TEST_P(ComponentLoad, FileThatIsNotTheShippedOneIsNeverLoaded) {
    Install(BinDirectory() + L"\\CsBrevinApi.dll");
    ScopedLauncherDir launcher(dir.path());
    Installation where = InstalledComponent(dir.path());
    where.fixed.Set(kComponentApiFile, L"00000000000000000000000000000000");
    CRuntimeComponent holder;
    EXPECT_EQ(ComponentLoadStatus::NotShipped, holder.Load(where).status);
    EXPECT_TRUE(holder.FailedVerification());
    ExpectEmptyAfterFailure(holder);

    // The fixed digests pass: the same files load, by full path.
    EXPECT_TRUE(holder.Load(InstalledComponent(dir.path())).ok());
    EXPECT_FALSE(holder.FailedVerification());
}

TEST_P(ComponentLoad, FileHeldByAnotherProgramIsNotLoadedButNotCalledDamaged) {
    Install(BinDirectory() + L"\\CsBrevinApi.dll");
    ScopedLauncherDir launcher(dir.path());
    HeldFile writer(dir.file(L"CsBrevinLab.dll"), 10000);
    ASSERT_TRUE(writer.held());
    CRuntimeComponent holder;
    EXPECT_FALSE(LoadInstalledComponent(holder));
    EXPECT_FALSE(holder.FailedVerification());
    ASSERT_EQ(1u, boxes.boxes.size());
    EXPECT_EQ(kInitTitle, boxes.boxes[0].title);
    EXPECT_EQ(L"运行库加载失败，错误码：32", boxes.boxes[0].text);
    ExpectEmptyAfterFailure(holder);
}

TEST_P(ComponentLoad, MissingFactoryFreesTheLibrary) {
    Install(ProbeFile(L"probe_nofactory.dll"));
    ScopedLauncherDir launcher(dir.path());
    CRuntimeComponent holder;
    EXPECT_FALSE(LoadInstalledComponent(holder));
    ASSERT_EQ(1u, boxes.boxes.size());
    EXPECT_EQ(kInitTitle, boxes.boxes[0].title);
    EXPECT_EQ(L"运行库加载失败：未能找到方法。", boxes.boxes[0].text);
    ExpectEmptyAfterFailure(holder);
}

TEST_P(ComponentLoad, FactoryWithoutObjectFreesTheLibrary) {
    Install(ProbeFile(L"probe_nullfactory.dll"));
    ScopedLauncherDir launcher(dir.path());
    CRuntimeComponent holder;
    EXPECT_FALSE(LoadInstalledComponent(holder));
    ASSERT_EQ(1u, boxes.boxes.size());
    EXPECT_EQ(kInitTitle, boxes.boxes[0].title);
    EXPECT_EQ(L"运行库加载失败：加载内部方法失败。", boxes.boxes[0].text);
    ExpectEmptyAfterFailure(holder);
}

TEST_P(ComponentLoad, UnloadDeletesTheObjectThenFreesTheLibraryOnce) {
    Install(ProbeFile(L"probe_echo.dll"));
    ScopedLauncherDir launcher(dir.path());
    CRuntimeComponent holder;
    ASSERT_TRUE(LoadInstalledComponent(holder));
    // A reference of our own keeps the library mapped, so that we can look inside after
    // the holder let go; a second FreeLibrary by the holder would drop it.
    HMODULE extra = LoadLibraryW(L"CsBrevinApi.dll");
    ASSERT_EQ(holder.Module(), extra);
    typedef long (*LiveObjects)();
    LiveObjects live = reinterpret_cast<LiveObjects>(reinterpret_cast<void*>(GetProcAddress(extra, "ProbeLiveObjects")));
    ASSERT_NE(nullptr, live);
    EXPECT_EQ(1, live());

    holder.Unload();
    holder.Unload();
    EXPECT_FALSE(holder.IsLoaded());
    EXPECT_EQ(nullptr, holder.Module());
    EXPECT_EQ(extra, GetModuleHandleW(L"CsBrevinApi.dll")) << "freed more than once";
    EXPECT_EQ(0, live()) << "the object was not deleted through its destructor";
    FreeLibrary(extra);
    EXPECT_EQ(nullptr, GetModuleHandleW(L"CsBrevinApi.dll"));
}

TEST_P(ComponentLoad, UnloadOfAnEmptyHolderDoesNothing) {
    CRuntimeComponent holder;
    holder.Unload();
    EXPECT_EQ(nullptr, holder.Module());
    EXPECT_FALSE(holder.IsLoaded());
}

}  // namespace
