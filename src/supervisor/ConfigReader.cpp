#include "supervisor/ConfigReader.h"

#include <share.h>
#include <stdio.h>

#include <memory>

namespace {

bool IsConfigSpace(wchar_t ch) {
    return (ch >= 0x09 && ch <= 0x0D) || ch == 0x20 || ch == 0x85 || ch == 0xA0;
}

wchar_t AsciiLower(wchar_t ch) { return (ch >= L'A' && ch <= L'Z') ? static_cast<wchar_t>(ch - L'A' + L'a') : ch; }

struct FileCloser {
    void operator()(FILE* f) const { fclose(f); }
};

// Reads one line of a text-mode stream (the runtime has already turned CR LF into LF
// and stops at 0x1A). False at the end of the file when nothing was read.
bool ReadLine(FILE* file, std::wstring& line) {
    line.clear();
    int c = getc(file);
    if (c == EOF) return false;
    while (c != EOF && c != '\n') {
        line += static_cast<wchar_t>(static_cast<unsigned char>(c));
        c = getc(file);
    }
    return true;
}

}  // namespace

bool EqualsIgnoringAsciiCase(const CString& a, const CString& b) {
    if (a.GetLength() != b.GetLength()) return false;
    for (int i = 0; i < a.GetLength(); ++i) {
        if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
    }
    return true;
}

CString TrimConfigText(const CString& text) {
    const std::wstring& s = text.Str();
    size_t first = 0;
    size_t last = s.size();
    while (first < last && IsConfigSpace(s[first])) ++first;
    while (last > first && IsConfigSpace(s[last - 1])) --last;
    return CString(s.substr(first, last - first));
}

bool CConfigReader::GetValue(const CString& key, CString& value) const {
    // Text mode, no sharing: a file another process holds open cannot be read.
    std::unique_ptr<FILE, FileCloser> file(_wfsopen(m_strPath, L"rt", _SH_DENYRW));
    if (!file) return false;

    std::wstring raw;
    while (ReadLine(file.get(), raw)) {
        CString line = TrimConfigText(CString(raw));
        if (line.IsEmpty() || line[0] == L';') continue;
        int equals = line.Find(L'=');
        if (equals < 0) continue;
        CString entryKey = TrimConfigText(line.Left(equals));
        if (!EqualsIgnoringAsciiCase(entryKey, key)) continue;
        value = TrimConfigText(line.Mid(equals + 1));
        return true;
    }
    return false;
}
