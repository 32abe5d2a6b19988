#include "supervisor/MainCommandLine.h"

#include "util/MainProgramArgs.h"

namespace {

const wchar_t kPairJoin = L'\x2261';

CString Pair(const CString& first, const CString& second) { return first + kPairJoin + second; }

// A value between quotes. Backslashes before the closing quote are doubled, so that a
// value ending in one (the folder of an installation at a drive root, V:\) does not
// escape the quote when the main program splits the line; every other backslash stands
// for itself.
void AppendQuoted(CString& line, const CString& value) {
    line += L'"';
    line += value;
    for (int i = value.GetLength() - 1; i >= 0 && value[i] == L'\\'; --i) line += L'\\';
    line += L'"';
}

}  // namespace

CString BuildMainCommandLine(const CString& programPath, const CString& appDir, const CString& serverAddress,
                             const CString& serverPort) {
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
        Pair(serverAddress, serverPort),
        Pair(fixed[12], fixed[13]),
    };
    CString line;
    for (int i = 0; i < 13; ++i) {
        if (i > 0) line += L' ';
        AppendQuoted(line, values[i]);
    }
    return line;
}
