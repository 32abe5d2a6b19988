#include "component/RuntimeComponent.h"

#include <memory>
#include <string>

#include "component/ComponentPath.h"
#include "component/LibraryLoad.h"
#include "framework/Codepage.h"
#include "framework/Presenters.h"
#include "framework/Handles.h"
#include "util/DigestTask.h"
#include "util/FileHelpers.h"
#include "util/InstallationNames.h"
#include "util/RunLog.h"
#include "util/MessageBox.h"

CRuntimeComponent g_runtime;

const CString kVcRedistDownloadPage = L"https://aka.ms/vs/17/release/vc_redist.x86.exe";

CRuntimeComponent::CRuntimeComponent() : m_hModule(nullptr), m_pWrapper(nullptr) {}

CRuntimeComponent::~CRuntimeComponent() { Unload(); }

namespace {
// The library could not be loaded: error 126 means it, or a library it needs (the VC++
// runtime), is missing.
void ReportLoadFailure(DWORD error) {
    if (error == ERROR_MOD_NOT_FOUND) {
        ShowWarningBox(L"本机Windows操作系统缺少微软VC++运行库，软件无法正常加载，请下载安装VC++运行库后再打开软件！\n"
                       L"如果下载或安装失败，请咨询软件服务人员。",
                       L"运行环境检测提示", nullptr);
        WebPagePresenter().Open(kVcRedistDownloadPage);
    } else {
        CString text;
        text.Format(L"运行库加载失败，错误码：%u", static_cast<unsigned>(error));
        ShowWarningBox(text, L"初始化提示", nullptr);
    }
}
}  // namespace

bool CRuntimeComponent::IsIntact(const ComponentLocation& where) const {
    const CString names[2] = {kComponentLibFile, kComponentApiFile};
    const CString expected[2] = {where.libDigest, where.apiDigest};
    for (int i = 0; i < 2; ++i) {
        const CString path = JoinPath(where.folder, names[i]);
        const CString actual = TakeOrStartDigest(where.prefetch, path, FILE_SHARE_READ, false)->Result();
        RunLog(L"digest %ls: fixed %ls, actual %ls", names[i].GetString(), expected[i].GetString(),
               actual.GetString());
        if (actual != expected[i]) return false;
    }
    return true;
}

bool CRuntimeComponent::Load(const ComponentLocation& where) {
    m_bFailedVerification = false;
    const CString libPath = JoinPath(where.folder, kComponentLibFile);
    const CString apiPath = JoinPath(where.folder, kComponentApiFile);

    if (!FileExists(libPath)) {
        ShowWarningBox(L"缺少clab库文件，请使用软件安装包修复软件！", L"初始化提示", nullptr);
        return false;
    }
    if (!FileExists(apiPath)) {
        ShowWarningBox(L"缺少capi库文件，请使用软件安装包修复软件！", L"初始化提示", nullptr);
        return false;
    }

    // Nothing of a component that is not the shipped one may run, not even its entry
    // point: both files are checked before the library is loaded. Both stay open,
    // denying writers, until the load is over, so the checked files are the loaded ones.
    UniqueFile heldLib(CreateFileW(libPath, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    UniqueFile heldApi(CreateFileW(apiPath, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!heldLib || !heldApi || !IsIntact(where)) {
        m_bFailedVerification = true;
        RunLog(L"component not loaded: its files are not the shipped ones");
        return false;
    }

    // By full path, its dependency found in its own folder first: never a file of the
    // same name elsewhere on the search path.
    m_hModule = LoadLibraryByFullPath(apiPath);
    const DWORD error = m_hModule ? ERROR_SUCCESS : GetLastError();
    RunLog(L"component load: error %u", static_cast<unsigned>(error));
    if (!m_hModule) {
        ReportLoadFailure(error);
        return false;
    }
    return CreateObject();
}

bool CRuntimeComponent::CreateObject() {
    // GetProcAddress hands out a generic function pointer; the factory's true type is
    // restored through an intermediate void pointer.
    FARPROC proc = GetProcAddress(m_hModule, "CreateWrapper");
    if (!proc) {
        FreeLibrary(m_hModule);
        m_hModule = nullptr;
        ShowWarningBox(L"运行库加载失败：未能找到方法。", L"初始化提示", nullptr);
        return false;
    }
    PFN_CREATE_WRAPPER createWrapper = reinterpret_cast<PFN_CREATE_WRAPPER>(reinterpret_cast<void*>(proc));

    m_pWrapper = createWrapper();
    if (!m_pWrapper) {
        FreeLibrary(m_hModule);
        m_hModule = nullptr;
        ShowWarningBox(L"运行库加载失败：加载内部方法失败。", L"初始化提示", nullptr);
        return false;
    }
    return true;
}

void CRuntimeComponent::Unload() {
    // The object's code lives in the library: destroy it first, through its own deleting
    // destructor, which also frees the memory inside the library.
    if (m_pWrapper) {
        m_pWrapper->DeletingDestructor(IRuntimeWrapper::kFreeMemory);
        m_pWrapper = nullptr;
    }
    if (m_hModule) {
        FreeLibrary(m_hModule);
        m_hModule = nullptr;
    }
}

bool CRuntimeComponent::ExtractFile(const CString& packagePath, const CString& password, const CString& infoTable,
                                    const CString& dataTable, const CString& targetDir, const CString& fileName,
                                    CString& errorText) {
    errorText.Empty();
    if (!m_pWrapper) return false;

    // Never a best-fit look-alike: a path it would change names another folder, or none.
    std::string narrowPackage, narrowPassword, narrowInfo, narrowData, narrowTarget, narrowName;
    if (!ComponentPathText(packagePath, narrowPackage) || !WideToNarrowExact(password, narrowPassword) ||
        !WideToNarrowExact(infoTable, narrowInfo) || !WideToNarrowExact(dataTable, narrowData) ||
        !ComponentPathText(targetDir, narrowTarget) || !WideToNarrowExact(fileName, narrowName)) {
        RunLog(L"extraction refused: the component cannot be given %ls", targetDir.GetString());
        return false;
    }

    // The text stays the component's: copy it at once, never free or keep the pointer.
    const char* componentError = nullptr;
    const bool result = m_pWrapper->ExtractFile(narrowPackage.c_str(), narrowPassword.c_str(), narrowInfo.c_str(),
                                                narrowData.c_str(), narrowTarget.c_str(), narrowName.c_str(),
                                                &componentError);
    if (componentError) {
        errorText = NarrowToWide(componentError);
        return false;
    }
    return result;
}
