// Stand-in for the online-service window. Each start appends one UTF-8 line to sevra.log
// beside itself; it then stays running (so that a second start can be refused) until a
// file sevra.stop appears beside it, ten minutes at most. It removes sevra.stop as it
// ends, so the next start runs normally.
#include "common/StandinRun.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    standin::AppendRunLine(L"sevra.log", standin::NowMillisecondsSince1970(), "");
    const std::wstring stopFile = standin::OwnFolder() + L"\\sevra.stop";
    const DWORD limit = 10 * 60 * 1000;
    const DWORD started = GetTickCount();
    while (GetTickCount() - started < limit) {
        if (standin::Exists(stopFile)) {
            DeleteFileW(stopFile.c_str());
            break;
        }
        Sleep(100);
    }
    return 0;
}
