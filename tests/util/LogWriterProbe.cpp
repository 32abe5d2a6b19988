// A second launcher as far as the run log sees it: writes `lines` lines of 400 characters
// to the log at `path`, capped at `cap` bytes. It releases the semaphore `ready` once, then
// starts when the event `go` is set.
//   util_logwriter <path> <cap> <lines> <ready> <go>
#include <windows.h>

#include <cstdlib>
#include <string>

#include "framework/Handles.h"
#include "util/RunLog.h"

int wmain(int argc, wchar_t** argv) {
    if (argc != 6) return 2;
    SetRunLogPathForTesting(argv[1]);
    SetRunLogCapForTesting(static_cast<DWORD>(std::wcstoul(argv[2], nullptr, 10)));
    const int lines = std::wcstol(argv[3], nullptr, 10);
    UniqueHandle ready(OpenSemaphoreW(SEMAPHORE_MODIFY_STATE, FALSE, argv[4]));
    UniqueHandle go(OpenEventW(SYNCHRONIZE, FALSE, argv[5]));
    if (!ready || !go || !ReleaseSemaphore(ready.get(), 1, nullptr)) return 3;
    if (WaitForSingleObject(go.get(), 60000) != WAIT_OBJECT_0) return 4;
    const std::wstring text(400, L'y');
    for (int i = 0; i < lines; ++i) RunLog(L"%ls", text.c_str());
    return 0;
}
