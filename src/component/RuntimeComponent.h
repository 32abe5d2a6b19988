#pragma once
// The runtime component: CsBrevinApi.dll (which needs CsBrevinLab.dll) exports the
// factory CreateWrapper; the object it makes extracts files from the program package.
#include <windows.h>
#include "framework/CString.h"

class CDigestPrefetch;

// The Visual C++ redistributable the component needs, offered when it is missing.
extern const CString kVcRedistDownloadPage;

// Where the component lies and what its two files must digest to.
struct ComponentLocation {
    CString folder;
    CString libDigest;                    // fixed digest of CsBrevinLab.dll
    CString apiDigest;                    // fixed digest of CsBrevinApi.dll
    CDigestPrefetch* prefetch = nullptr;  // digests already started, if any
};

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

class CRuntimeComponent {
public:
    CRuntimeComponent();
    ~CRuntimeComponent();
    CRuntimeComponent(const CRuntimeComponent&) = delete;
    CRuntimeComponent& operator=(const CRuntimeComponent&) = delete;

    // Loads the component from `where`; on failure shows its own message and leaves the
    // holder empty. A file that does not match its fixed digest is never loaded, and no
    // message is shown for it here: the start sequence names it among the data files.
    bool Load(const ComponentLocation& where);
    // The last Load stopped because a file did not match its fixed digest.
    bool FailedVerification() const { return m_bFailedVerification; }
    // Destroys the object, then frees the library; does nothing for what is not held.
    void Unload();

    // Has the component write `fileName` from the package into `targetDir`. The paths go
    // over as ComponentPathText gives them; when one cannot, nothing is called and the
    // result is false with an empty error text.
    bool ExtractFile(const CString& packagePath, const CString& password, const CString& infoTable,
                     const CString& dataTable, const CString& targetDir, const CString& fileName,
                     CString& errorText);

    HMODULE m_hModule;
    IRuntimeWrapper* m_pWrapper;

private:
    bool IsIntact(const ComponentLocation& where) const;
    // Looks the factory up and makes the object; frees the library when that fails.
    bool CreateObject();
    bool m_bFailedVerification = false;
};

extern CRuntimeComponent g_runtime;
