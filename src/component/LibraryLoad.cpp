#include "component/LibraryLoad.h"

#include "util/RunLog.h"

namespace {
LoaderProbe g_probe = &SystemHasRestrictedSearchLoader;
}  // namespace

bool SystemHasRestrictedSearchLoader() {
    HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    return kernel && GetProcAddress(kernel, "AddDllDirectory") != nullptr;
}

LoaderProbe SetLoaderProbeForTesting(LoaderProbe probe) {
    const LoaderProbe previous = g_probe;
    g_probe = probe ? probe : &SystemHasRestrictedSearchLoader;
    return previous;
}

HMODULE LoadLibraryByFullPath(const CString& path) {
    const bool restricted = g_probe();
    RunLog(L"loading %ls with the %ls search", path.GetString(), restricted ? L"restricted" : L"altered");
    const DWORD flags =
        restricted ? LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32 : LOAD_WITH_ALTERED_SEARCH_PATH;
    return LoadLibraryExW(path, nullptr, flags);
}
