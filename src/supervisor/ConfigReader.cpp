#include "supervisor/ConfigReader.h"

#include <share.h>
#include <stdio.h>

#include <cstring>
#include <memory>
#include <string>

namespace {

bool IsConfigSpace(wchar_t ch) {
    return (ch >= 0x09 && ch <= 0x0D) || ch == 0x20 || ch == 0x85 || ch == 0xA0;
}

wchar_t AsciiLower(wchar_t ch) { return (ch >= L'A' && ch <= L'Z') ? static_cast<wchar_t>(ch - L'A' + L'a') : ch; }

struct FileCloser {
    void operator()(FILE* f) const { fclose(f); }
};

// Lines longer than this cannot hold an entry the launcher reads (keys are short, values
// are digests). Such a line is read to its end without being kept, so that the reader
// needs the same small memory whatever the file holds.
const size_t kMaxLineLength = 4096;

// Reads a text-mode stream line by line (the runtime has already turned CR LF into LF
// and stops at 0x1A).
class LineReader {
public:
    explicit LineReader(FILE* file) : m_file(file) {}

    // The next line without its end, each byte one character. False at the end of the
    // file when nothing was read. A line past the length limit comes back empty with
    // `overlong` set.
    bool Next(std::wstring& line, bool& overlong) {
        line.clear();
        overlong = false;
        bool any = false;
        for (;;) {
            if (m_next == m_end && !Fill()) break;
            any = true;
            const char* start = m_buffer + m_next;
            const char* end = static_cast<const char*>(std::memchr(start, '\n', m_end - m_next));
            const size_t count = (end ? end : m_buffer + m_end) - start;
            if (!overlong && line.size() + count <= kMaxLineLength) {
                for (size_t i = 0; i < count; ++i) line += static_cast<wchar_t>(static_cast<unsigned char>(start[i]));
            } else {
                overlong = true;
                line.clear();
            }
            m_next += count + (end ? 1 : 0);
            if (end) break;
        }
        return any;
    }

private:
    bool Fill() {
        m_next = 0;
        m_end = fread(m_buffer, 1, sizeof m_buffer, m_file);
        return m_end > 0;
    }

    FILE* m_file;
    char m_buffer[16384];
    size_t m_next = 0;
    size_t m_end = 0;
};

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

    LineReader reader(file.get());
    std::wstring raw;
    bool overlong = false;
    bool firstLine = true;
    while (reader.Next(raw, overlong)) {
        // Notepad saves UTF-8 with a byte-order mark, which would stand before the first key.
        if (firstLine && raw.compare(0, 3, L"\u00EF\u00BB\u00BF") == 0) raw.erase(0, 3);
        firstLine = false;
        if (overlong) continue;
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
