#pragma once
#include "framework/CString.h"

// MD5 of the file's whole content as 32 upper-case hexadecimal characters, computed by
// the system's CryptoAPI; the empty string when the file cannot be read or hashed.
CString GetFileMd5(const CString& path);
