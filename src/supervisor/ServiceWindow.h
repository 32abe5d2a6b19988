#pragma once
// The online-service window: the separate program Sevra.exe in the launcher directory,
// started from the splash dialog's "在线客服" link with the service endpoint, a service
// token and the product name on its command line. Only one runs at a time.
#include "framework/CString.h"
#include "framework/OleDateTime.h"
#include "supervisor/LaunchOutcome.h"

// Identifies the customer to the service operator; the first part of the service token.
// Empty unless the build defines VELMORA_SERVICE_CLIENT_ID; an empty identifier is passed
// on unchanged.
extern CString g_strClientId;
// The date the service token carries. It starts as the zero date; the first click on the
// service link sets it to that day's local date, which it keeps for the rest of the run.
extern COleDateTime g_dtTokenDate;

// True when a process whose executable file name (without folder) equals exeName,
// ignoring letter case, is running.
bool IsProcessRunning(const CString& exeName);

// clientId + "_IBP_" + version + "_" + date + "_LoadPage".
CString BuildServiceToken(const CString& clientId, const CString& version, const CString& date);
// The five elements joined by single spaces, none quoted.
CString BuildServiceCommandLine(const CString& programPath, const CString& address,
                                const CString& port, const CString& token,
                                const CString& productName);

// What a click on the service link does: refuses when a service window is already open
// (ServiceWindowOpen), otherwise starts appDir\Sevra.exe for the service server at
// serverAddress:serverPort and lets it go. Ok when the program was started.
LaunchOutcome StartServiceWindow(const CString& appDir, const CString& serverAddress, const CString& serverPort);
