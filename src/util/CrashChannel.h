#pragma once
// What a launcher and its crash handler share, for the two halves of the crash reports
// only: a block of memory both map, and the handles the handler inherits.
#include <windows.h>

// The handler's command line: the launcher's own executable, this argument and the value
// of the inherited mapping handle in hexadecimal.
extern const wchar_t kCrashHandlerArgument[];

const DWORD kCrashChannelMagic = 0x48434D56;  // "VMCH"

struct CrashChannel {
    // Written by the launcher before it starts the handler.
    DWORD magic;
    DWORD launcherId;
    HANDLE launcher;  // the launcher's process: query, read, terminate, wait
    HANDLE crashed;   // event: the crash fields below are filled in
    HANDLE reported;  // event: the dump and the run-log line are written
    // Written by the crashed thread before it sets `crashed`.
    DWORD code;
    DWORD threadId;
    ULONG_PTR address;
    ULONG_PTR pointers;  // its EXCEPTION_POINTERS, an address in the launcher
};
