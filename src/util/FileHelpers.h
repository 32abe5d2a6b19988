#pragma once
#include "framework/CString.h"

// dir and name joined with one backslash (PathCombineW into 260 characters); empty when
// they cannot be combined.
CString JoinPath(const CString& dir, const CString& name);
// True when a file or a folder exists at the path; false for an empty path or one of
// 260 characters or more.
bool FileExists(const CString& path);
// Whether files can be created, renamed and removed in `folder`, found out by creating a
// small hidden file there that goes again at once. False only when the system refuses
// (access denied, write-protected medium): a standard user's Program Files, a read-only
// share. Any other failure (a missing folder, say) counts as writable, so that the
// caller's own operation meets it and reports it as it would anyway.
bool CanWriteInFolder(const CString& folder);
// Reads the text of a length-prefixed string file (4-byte signed little-endian length,
// then that many bytes in the thread's ANSI code page; N <= 0 is an empty text). A file
// that ends before its N bytes do is incomplete: empty, and nothing is allocated for the
// missing bytes. The file is opened by its wide path, sharing reading and writing. Empty
// on failure, with the reason in errorText (also the text of an allocation failure);
// errorText is left unchanged on success.
CString ReadStringFile(const CString& path, CString& errorText);
