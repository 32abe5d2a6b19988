#include "component/RuntimeComponent.h"

#include <string>
#include <vector>

#include "component/ComponentPath.h"
#include "component/LibraryLoad.h"
#include "framework/Codepage.h"
#include "util/CrashReport.h"
#include "util/DigestTask.h"
#include "util/FileHelpers.h"
#include "util/InstallationNames.h"
#include "util/RunLog.h"

CRuntimeComponent g_runtime;

namespace {
// Every component file stays open, denying writers, from its check until the load is over,
// so that the checked files are the loaded ones.
const DWORD kShareComponentFile = FILE_SHARE_READ;
}  // namespace

ComponentLoadResult CRuntimeComponent::HoldShippedFiles(const Installation& installation, std::vector<UniqueFile>& held) {
    for (const VerifiedFile& file : kVerifiedFiles) {
        if (file.role == FileRole::Component && !FileExists(installation.PathOf(file))) {
            return ComponentLoadResult::Of(ComponentLoadStatus::FileMissing, 0, &file);
        }
    }
    for (const VerifiedFile& file : kVerifiedFiles) {
        if (file.role != FileRole::Component) continue;
        const CString path = installation.PathOf(file);
        held.emplace_back(CreateFileW(path, GENERIC_READ, kShareComponentFile, nullptr, OPEN_EXISTING, 0, nullptr));
        if (!held.back()) {
            // Held open for writing by another program, or unreadable: it cannot be loaded,
            // which says nothing about whether it is the shipped file.
            const DWORD error = GetLastError();
            RunLog(L"component load: %ls cannot be opened (error %u)", file.name, static_cast<unsigned>(error));
            return ComponentLoadResult::Of(ComponentLoadStatus::LoadFailed, error, &file);
        }
        const CString expected = installation.fixed.Of(file);
        const CString actual = TakeOrStartDigest(installation.prefetch, path, kShareComponentFile, false)->Result();
        RunLog(L"digest %ls: fixed %ls, actual %ls", file.name, expected.GetString(), actual.GetString());
        if (!DigestMatches(actual, expected)) {
            m_bFailedVerification = true;
            RunLog(L"component not loaded: its files are not the shipped ones");
            return ComponentLoadResult::Of(ComponentLoadStatus::NotShipped, 0, &file);
        }
    }
    return ComponentLoadResult::Of(ComponentLoadStatus::Loaded);
}

ComponentLoadResult CRuntimeComponent::Load(const Installation& installation) {
    m_bFailedVerification = false;
    // Nothing of a component that is not the shipped one may run, not even its entry
    // point: every file is checked before the library is loaded.
    std::vector<UniqueFile> held;
    const ComponentLoadResult checked = HoldShippedFiles(installation, held);
    if (!checked.ok()) return checked;

    // Before the component's first code runs (its entry point), a crash of it can be
    // reported.
    AwaitCrashHandler();
    // By full path, its dependency found in its own folder first: never a file of the
    // same name elsewhere on the search path.
    m_module.reset(LoadLibraryByFullPath(installation.PathOf(kComponentApiFile)));
    const DWORD error = m_module ? ERROR_SUCCESS : GetLastError();
    RunLog(L"component load: error %u", static_cast<unsigned>(error));
    if (!m_module) return ComponentLoadResult::Of(ComponentLoadStatus::LoadFailed, error);
    return CreateObject();
}

ComponentLoadResult CRuntimeComponent::CreateObject() {
    // GetProcAddress hands out a generic function pointer; the factory's true type is
    // restored through an intermediate void pointer.
    FARPROC proc = GetProcAddress(m_module.get(), "CreateWrapper");
    if (!proc) {
        m_module.reset();
        return ComponentLoadResult::Of(ComponentLoadStatus::FactoryMissing);
    }
    PFN_CREATE_WRAPPER createWrapper = reinterpret_cast<PFN_CREATE_WRAPPER>(reinterpret_cast<void*>(proc));
    m_object.reset(createWrapper());
    if (!m_object) {
        m_module.reset();
        return ComponentLoadResult::Of(ComponentLoadStatus::FactoryFailed);
    }
    return ComponentLoadResult::Of(ComponentLoadStatus::Loaded);
}

void CRuntimeComponent::Unload() {
    m_object.reset();
    m_module.reset();
}

bool CRuntimeComponent::ExtractFile(const CString& packagePath, const CString& password, const CString& infoTable,
                                    const CString& dataTable, const CString& targetDir, const CString& fileName,
                                    CString& errorText) {
    errorText.Empty();
    if (!m_object) return false;

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
    const bool result = m_object->ExtractFile(narrowPackage.c_str(), narrowPassword.c_str(), narrowInfo.c_str(),
                                              narrowData.c_str(), narrowTarget.c_str(), narrowName.c_str(),
                                              &componentError);
    if (componentError) {
        errorText = NarrowToWide(componentError);
        return false;
    }
    return result;
}
