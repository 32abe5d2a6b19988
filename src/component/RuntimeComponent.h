#pragma once
// The runtime component: CsBrevinApi.dll (which needs CsBrevinLab.dll) exports the
// factory CreateWrapper; the object it makes extracts files from the program package.
#include <windows.h>

#include <memory>
#include <vector>

#include "framework/CString.h"
#include "framework/Handles.h"
#include "util/Installation.h"

// The component object's interface as the launcher calls it: ExtractFile, then the
// virtual destructor, in that slot order. Strings are narrow, in the thread's ANSI code
// page; an error text comes back through errorText and stays owned by the component.
//
// The component is built with the platform compiler, whose object ABI gives a virtual
// destructor ONE slot: the deleting destructor, a thiscall member taking a flags word
// (bit 0: free the memory too). GCC would reserve two slots for a virtual destructor
// here and have `delete` call the second, past the end of the component's table. So the
// slot is declared for what it is, and the same source means the same layout under both
// compilers; the object is destroyed only through it, never with `delete`.
class IRuntimeWrapper {
public:
    virtual bool ExtractFile(const char* packagePath, const char* password, const char* infoTable,
                             const char* dataTable, const char* targetDir, const char* fileName,
                             const char** errorText) = 0;
    virtual void DeletingDestructor(unsigned int flags) = 0;

    static const unsigned int kFreeMemory = 1;

protected:
    ~IRuntimeWrapper() = default;
};

typedef IRuntimeWrapper* (*PFN_CREATE_WRAPPER)();

// How loading the component ended.
enum class ComponentLoadStatus {
    Loaded,
    FileMissing,     // file: a component file is missing
    NotShipped,      // file: not the shipped file; never loaded
    LoadFailed,      // error: why the library could not be loaded (also a file held by another program)
    FactoryMissing,  // the library exports no CreateWrapper
    FactoryFailed,   // CreateWrapper made no object
};

struct ComponentLoadResult {
    ComponentLoadStatus status = ComponentLoadStatus::Loaded;
    DWORD error = 0;
    const VerifiedFile* file = nullptr;

    bool ok() const { return status == ComponentLoadStatus::Loaded; }
    static ComponentLoadResult Of(ComponentLoadStatus status, DWORD error = 0, const VerifiedFile* file = nullptr) {
        return ComponentLoadResult{status, error, file};
    }
};

// The one operation the launch needs of the component: extract a file of the package into
// a folder. False with the component's error text (possibly empty) on failure.
class IPackageExtractor {
public:
    virtual bool ExtractFile(const CString& packagePath, const CString& password, const CString& infoTable,
                             const CString& dataTable, const CString& targetDir, const CString& fileName,
                             CString& errorText) = 0;

protected:
    ~IPackageExtractor() = default;
};

class CRuntimeComponent : public IPackageExtractor {
public:
    CRuntimeComponent() = default;
    ~CRuntimeComponent() { Unload(); }
    CRuntimeComponent(const CRuntimeComponent&) = delete;
    CRuntimeComponent& operator=(const CRuntimeComponent&) = delete;

    // Loads the component of `installation` into an empty holder; on failure the holder
    // stays empty and the result says why. A file that does not match its fixed digest
    // is never loaded (NotShipped); nothing of it runs.
    ComponentLoadResult Load(const Installation& installation);
    // The last Load stopped because a file did not match its fixed digest.
    bool FailedVerification() const { return m_bFailedVerification; }
    // Destroys the object, then frees the library; does nothing for what is not held.
    void Unload();

    bool IsLoaded() const { return static_cast<bool>(m_object); }
    HMODULE Module() const { return m_module.get(); }

    // Has the component write `fileName` from the package into `targetDir`. The paths go
    // over as ComponentPathText gives them; when one cannot, nothing is called and the
    // result is false with an empty error text.
    bool ExtractFile(const CString& packagePath, const CString& password, const CString& infoTable,
                     const CString& dataTable, const CString& targetDir, const CString& fileName,
                     CString& errorText) override;

private:
    // Destroys the object through its own deleting destructor, which also frees its
    // memory inside the library.
    struct DestroyThroughComponent {
        void operator()(IRuntimeWrapper* object) const { object->DeletingDestructor(IRuntimeWrapper::kFreeMemory); }
    };

    // Every component file present, opened denying writers (into `held`) and matching its
    // fixed digest.
    ComponentLoadResult HoldShippedFiles(const Installation& installation, std::vector<UniqueFile>& held);
    // Looks the factory up and makes the object; frees the library when that fails.
    ComponentLoadResult CreateObject();

    // The object's code lives in the library: declared after it, the object goes first.
    UniqueModule m_module;
    std::unique_ptr<IRuntimeWrapper, DestroyThroughComponent> m_object;
    bool m_bFailedVerification = false;
};

extern CRuntimeComponent g_runtime;
