#pragma once
// Reads single values from the launcher's configuration file. The file is read byte by
// byte (each byte becomes the character of the same value, no code-page conversion), in
// text mode and without sharing, anew at every call: nothing is cached. A UTF-8
// byte-order mark at its very start is skipped.
#include "framework/CString.h"

class CConfigReader {
public:
    explicit CConfigReader(const CString& path) : m_strPath(path) {}

    // Finds the first entry "key = value" whose key equals `key` (ASCII letters compared
    // without case), whatever section it stands in. True when found; `value` then holds
    // the trimmed value, possibly empty. False when the file cannot be opened or holds
    // no such entry; `value` is then unchanged. A line longer than 4096 bytes holds no
    // entry: it is skipped, and the reader's memory does not grow with it.
    bool GetValue(const CString& key, CString& value) const;

private:
    CString m_strPath;
};

// True when the two texts are equal with the letters A-Z and a-z taken as the same;
// every other character must match exactly.
bool EqualsIgnoringAsciiCase(const CString& a, const CString& b);
// Removes U+0009..U+000D, U+0020, U+0085 and U+00A0 at both ends.
CString TrimConfigText(const CString& text);
