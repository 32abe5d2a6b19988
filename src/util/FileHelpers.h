#pragma once
#include "framework/CString.h"

// dir and name joined with one backslash (PathCombineW into 260 characters); empty when
// they cannot be combined.
CString JoinPath(const CString& dir, const CString& name);
// True when a file or a folder exists at the path.
bool FileExists(const CString& path);
// Reads the text of a length-prefixed string file (4-byte signed little-endian length,
// then that many bytes in the thread's ANSI code page). Empty on failure, with the reason
// in errorText; errorText is left unchanged on success.
CString ReadStringFile(const CString& path, CString& errorText);
