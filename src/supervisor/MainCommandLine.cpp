#include "supervisor/MainCommandLine.h"

#include "app/Globals.h"

namespace {

const wchar_t kPairJoin = L'\x2261';

CString Pair(const CString& first, const CString& second) { return first + kPairJoin + second; }

}  // namespace

CString BuildMainCommandLine(const CString& programPath, const CString& appDir) {
    const CString* fixed = kMainProgramFixedArgs;
    const CString values[13] = {
        programPath,
        kLaunchToken,
        appDir,
        fixed[0],
        fixed[1],
        fixed[2],
        fixed[3],
        Pair(fixed[4], fixed[5]),
        Pair(fixed[6], fixed[7]),
        Pair(fixed[8], fixed[9]),
        Pair(fixed[10], fixed[11]),
        Pair(g_strServerAddress, g_strServerPort),
        Pair(fixed[12], fixed[13]),
    };
    CString line;
    for (int i = 0; i < 13; ++i) {
        if (i > 0) line += L' ';
        line += L'"';
        line += values[i];
        line += L'"';
    }
    return line;
}
