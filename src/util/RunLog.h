#pragma once
// The run log for support staff: %LOCALAPPDATA%\Velmora\launcher.log, UTF-8, one line per
// decision, each starting with the local time and the process id:
//
//   2026-12-09 21:59:53.120 [1234] component loaded (error 0)
//
// The file is capped at about 1 MiB; when a line would pass the cap the file becomes
// launcher.log.1 (replacing the previous one) and a new file is started; when the
// previous one cannot be replaced, the current file starts afresh. Writing never
// fails the launcher: a log that cannot be opened or written is skipped silently, and
// the last-error code is kept for the caller.
#include <windows.h>

#include "framework/CString.h"
#include "framework/Handles.h"

// Appends one line (the text, without line breaks of its own, is written after the time
// and process id). printf-style for convenience; the text is wide, written as UTF-8.
void RunLog(const wchar_t* format, ...);

// Where the log lives, for tests and for support: the folder is created on first use.
CString RunLogPath();
// The launcher's folder for support, %LOCALAPPDATA%\Velmora, created when missing: the run
// log and the crash reports live there. Empty when the shell cannot name it.
CString SupportFolder();
// Appends one line as RunLog does, in the name of another process: a crash handler writes
// the line of the launcher it serves. The text is written as given.
void RunLogFor(DWORD processId, const wchar_t* text);
// The log opened for appending, kept by a process that may have to write a line after a
// crash (AppendRunLogLine); an invalid handle when it cannot be opened.
UniqueFile OpenRunLogForAppending();
// Appends one line as RunLog does to a log opened before, without the log's lock, without
// touching the heap (a crashed thread may hold either) and without rotating the file. The
// text is written as given, cut at about 1000 characters.
void AppendRunLogLine(HANDLE log, const wchar_t* text);
// Redirects the log to another file (tests), or back to the default with an empty path.
void SetRunLogPathForTesting(const CString& path);
// Caps the log at `bytes` instead of about 1 MiB (tests that rotate it often), or back with 0.
void SetRunLogCapForTesting(DWORD bytes);
