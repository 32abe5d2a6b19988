// CsBrevinApi.dll: the factory CreateWrapper and the component object. The object keeps
// its last error text, so the pointer it hands out stays valid after the call returns
// (until the next call or the object's destruction).
#include <new>
#include <string>

#include "LabApi.h"
#include "component/RuntimeComponent.h"

namespace {

class CBrevinWrapper : public IRuntimeWrapper {
public:
    bool ExtractFile(const char* packagePath, const char* password, const char* infoTable, const char* dataTable,
                     const char* targetDir, const char* fileName, const char** errorText) override {
        char reason[512] = {};
        const bool ok = CsLabExtractFile(packagePath, password, infoTable, dataTable, targetDir, fileName, reason,
                                         sizeof reason) != 0;
        if (!ok) {
            m_error.assign(reason);
            if (m_error.empty()) m_error = "extraction failed";
            if (errorText) *errorText = m_error.c_str();
        }
        return ok;
    }
    ~CBrevinWrapper() override = default;

private:
    std::string m_error;
};

}  // namespace

extern "C" __declspec(dllexport) IRuntimeWrapper* CreateWrapper() { return new (std::nothrow) CBrevinWrapper(); }
