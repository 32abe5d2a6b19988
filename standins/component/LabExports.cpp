#include "LabApi.h"

#include <cstring>
#include <string>

#include "KestpakFormat.h"

CSBREVINLAB_API int CsLabExtractFile(const char* packagePath, const char* password, const char* infoTable,
                                     const char* dataTable, const char* targetDir, const char* fileName,
                                     char* errorBuffer, unsigned errorBufferSize) {
    std::string error;
    bool ok = false;
    if (!packagePath || !password || !infoTable || !dataTable || !targetDir || !fileName) {
        error = "missing argument";
    } else {
        try {
            ok = kestpak::ExtractFile(packagePath, password, infoTable, dataTable, targetDir, fileName, error);
        } catch (const std::exception&) {
            // Only allocation can throw here; it must not cross the library boundary.
            error = "out of memory";
            ok = false;
        }
    }
    if (errorBuffer && errorBufferSize > 0) {
        const size_t length = error.size() < errorBufferSize - 1 ? error.size() : errorBufferSize - 1;
        std::memcpy(errorBuffer, error.data(), length);
        errorBuffer[length] = '\0';
    }
    return ok ? 1 : 0;
}
