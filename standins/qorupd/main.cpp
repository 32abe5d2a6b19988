// Stand-in for the updater. It updates nothing: it appends one UTF-8 line to qorupd.log
// beside itself and ends, so that tests and the demo can see that, when and how the
// launcher handed over.
#include "common/StandinRun.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    standin::AppendRunLine(L"qorupd.log", standin::NowMillisecondsSince1970(), "");
    return 0;
}
