#pragma once
// Text built in a caller's fixed buffer, never allocating and taking no lock: for what runs
// after a crash (file names, the box, the run-log line) and for the run log's line heads.
// What does not fit is cut; the text always stays terminated.
#include <cstddef>

class FixedText {
public:
    template <size_t N>
    explicit FixedText(wchar_t (&buffer)[N]) : FixedText(buffer, N) {}
    FixedText(wchar_t* buffer, size_t capacity);

    FixedText& operator<<(const wchar_t* text);
    // Decimal, with leading zeros up to `width` digits.
    FixedText& Number(unsigned long value, unsigned width = 1);
    // "0x" and eight upper-case hexadecimal digits.
    FixedText& Hex(unsigned long value);

    const wchar_t* c_str() const { return m_begin; }
    size_t size() const { return static_cast<size_t>(m_end - m_begin); }

private:
    void Put(wchar_t c);

    wchar_t* m_begin;
    wchar_t* m_end;
    wchar_t* m_last;  // the place kept for the terminating zero
};
