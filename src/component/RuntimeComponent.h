#pragma once
// The runtime component: CsBrevinApi.dll (which needs CsBrevinLab.dll) exports the
// factory CreateWrapper; the object it makes extracts files from the program package.
#include <windows.h>
#include "framework/CString.h"

// The component object's interface as the launcher calls it: ExtractFile, then the
// virtual destructor, in that slot order. Strings are narrow, in the thread's ANSI code
// page; an error text comes back through errorText and stays owned by the component.
class IRuntimeWrapper {
public:
    virtual bool ExtractFile(const char* packagePath, const char* password, const char* infoTable,
                             const char* dataTable, const char* targetDir, const char* fileName,
                             const char** errorText) = 0;
    virtual ~IRuntimeWrapper() {}
};

typedef IRuntimeWrapper* (*PFN_CREATE_WRAPPER)();

class CRuntimeComponent {
public:
    CRuntimeComponent();
    ~CRuntimeComponent();
    CRuntimeComponent(const CRuntimeComponent&) = delete;
    CRuntimeComponent& operator=(const CRuntimeComponent&) = delete;

    // Loads the component; on failure shows its own message and leaves the holder empty.
    bool Load();
    // Destroys the object, then frees the library; does nothing for what is not held.
    void Unload();

    bool ExtractFile(const CString& packagePath, const CString& password, const CString& infoTable,
                     const CString& dataTable, const CString& targetDir, const CString& fileName,
                     CString& errorText);

    HMODULE m_hModule;
    IRuntimeWrapper* m_pWrapper;
};

extern CRuntimeComponent g_runtime;
