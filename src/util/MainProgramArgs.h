#pragma once
// The fixed strings that the main program expects on its command line, agreed with it.
// Shared by the launcher and our stand-in main program, which checks them.
#define VELMORA_MAIN_ARG_1 L"kst.invoice"
#define VELMORA_MAIN_ARG_2 L"batch-print"
#define VELMORA_MAIN_ARG_3 L"zh-CN"
#define VELMORA_MAIN_ARG_4 L"x86"
#define VELMORA_MAIN_ARG_5 L"mode"
#define VELMORA_MAIN_ARG_6 L"desktop"
#define VELMORA_MAIN_ARG_7 L"channel"
#define VELMORA_MAIN_ARG_8 L"stable"
#define VELMORA_MAIN_ARG_9 L"ui"
#define VELMORA_MAIN_ARG_10 L"splash"
#define VELMORA_MAIN_ARG_11 L"print"
#define VELMORA_MAIN_ARG_12 L"queue"
#define VELMORA_MAIN_ARG_13 L"svc"
#define VELMORA_MAIN_ARG_14 L"tcp"

#include "framework/CString.h"

// Position 1 of the main program's command line.
extern const CString kLaunchToken;
// The strings above, in order, for positions 3 to 10 and 12.
constexpr int kMainProgramFixedArgCount = 14;
extern const CString kMainProgramFixedArgs[kMainProgramFixedArgCount];
