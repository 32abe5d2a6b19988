#pragma once
// The main program's command line: thirteen values, each between double quotes, joined
// by single spaces. Values go in as they are, except that backslashes at the end of a
// value are doubled so that they do not escape its closing quote; the halves of a pair
// are joined by U+2261.
#include "framework/CString.h"

// Position 0 the program path, 1 the launch token, 2 the launcher directory, 3 to 10 and
// 12 the fixed strings agreed with the main program, 11 the service server's address and
// port.
CString BuildMainCommandLine(const CString& programPath, const CString& appDir, const CString& serverAddress,
                             const CString& serverPort);
