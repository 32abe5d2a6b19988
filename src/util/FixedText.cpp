#include "util/FixedText.h"

FixedText::FixedText(wchar_t* buffer, size_t capacity) : m_begin(buffer), m_end(buffer), m_last(buffer + capacity - 1) {
    *m_end = 0;
}

void FixedText::Put(wchar_t c) {
    if (m_end == m_last) return;
    *m_end++ = c;
    *m_end = 0;
}

FixedText& FixedText::operator<<(const wchar_t* text) {
    while (text && *text) Put(*text++);
    return *this;
}

FixedText& FixedText::Number(unsigned long value, unsigned width) {
    wchar_t digits[16];
    unsigned count = 0;
    do {
        digits[count++] = static_cast<wchar_t>(L'0' + value % 10);
        value /= 10;
    } while (value != 0);
    while (count < width && count < sizeof digits / sizeof digits[0]) digits[count++] = L'0';
    while (count > 0) Put(digits[--count]);
    return *this;
}

FixedText& FixedText::Hex(unsigned long value) {
    *this << L"0x";
    for (int shift = 28; shift >= 0; shift -= 4) Put(L"0123456789ABCDEF"[(value >> shift) & 0xF]);
    return *this;
}
