// filehold <path> <milliseconds> <event name>
//
// Opens the file without sharing anything, the way a virus scanner or an indexer may
// hold a freshly written file, sets the named event (which the caller created) once the
// file is held, keeps it for the given time and ends. Sharing is enforced only between
// Windows processes of one wine server, so tests need a program of their own for this.
// Exit code 0 after the hold, 1 when the file cannot be opened, 2 for wrong arguments.
#include <windows.h>

#include <cwchar>

#include "framework/Handles.h"

int wmain(int argc, wchar_t** argv) {
    if (argc != 4) return 2;
    const DWORD holdMs = static_cast<DWORD>(std::wcstoul(argv[2], nullptr, 10));
    UniqueFile file;
    // The caller may be looking at the file at this moment: try for a while.
    for (int attempt = 0; attempt < 200 && !file; ++attempt) {
        file.reset(CreateFileW(argv[1], GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file) Sleep(10);
    }
    if (!file) return 1;
    UniqueHandle ready(OpenEventW(EVENT_MODIFY_STATE, FALSE, argv[3]));
    if (ready) SetEvent(ready.get());
    Sleep(holdMs);
    return 0;
}
