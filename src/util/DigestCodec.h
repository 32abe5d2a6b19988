#pragma once
// The stored form of a digest in AppConf.ini: every hexadecimal digit of the digest is
// replaced by a fixed letter. One table serves the launcher (decoding) and the
// installation builder (encoding), so the two can never drift apart.
#include "framework/CString.h"

// Upper-case hexadecimal digest -> stored form. Lower-case hexadecimal letters are
// taken as their upper-case digits; any other character is kept as it is.
CString EncodeDigestText(const CString& digest);
// Stored form -> digest. Characters that are not in the table are kept as they are.
CString DecodeDigestText(const CString& stored);
