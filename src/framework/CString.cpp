#include "framework/CString.h"

#include <cwchar>
#include <cwctype>
#include <vector>

namespace {
const wchar_t* orEmpty(const wchar_t* s) { return s ? s : L""; }

bool isIn(wchar_t ch, const wchar_t* chars) { return chars && std::wcschr(chars, ch) != nullptr && ch != 0; }
}  // namespace

int CString::Compare(const wchar_t* other) const {
    return m_str.compare(orEmpty(other));
}

int CString::CompareNoCase(const wchar_t* other) const {
    // The system's case folding, as _wcsicmp does for the launcher's purposes.
    int r = CompareStringOrdinal(m_str.c_str(), -1, orEmpty(other), -1, TRUE);
    return r == CSTR_LESS_THAN ? -1 : (r == CSTR_GREATER_THAN ? 1 : 0);
}

int CString::Find(wchar_t ch, int start) const {
    if (start < 0 || start > GetLength()) return -1;
    size_t pos = m_str.find(ch, static_cast<size_t>(start));
    return pos == std::wstring::npos ? -1 : static_cast<int>(pos);
}

int CString::Find(const wchar_t* sub, int start) const {
    if (start < 0 || start > GetLength()) return -1;
    size_t pos = m_str.find(orEmpty(sub), static_cast<size_t>(start));
    return pos == std::wstring::npos ? -1 : static_cast<int>(pos);
}

int CString::Replace(wchar_t oldCh, wchar_t newCh) {
    int count = 0;
    for (auto& c : m_str) {
        if (c == oldCh) { c = newCh; ++count; }
    }
    return count;
}

int CString::Replace(const wchar_t* oldText, const wchar_t* newText) {
    std::wstring from = orEmpty(oldText), to = orEmpty(newText);
    if (from.empty()) return 0;
    int count = 0;
    std::wstring out;
    size_t pos = 0, hit;
    while ((hit = m_str.find(from, pos)) != std::wstring::npos) {
        out.append(m_str, pos, hit - pos);
        out += to;
        pos = hit + from.size();
        ++count;
    }
    if (count) {
        out.append(m_str, pos, std::wstring::npos);
        m_str.swap(out);
    }
    return count;
}

CString& CString::TrimLeft() {
    size_t i = 0;
    while (i < m_str.size() && std::iswspace(m_str[i])) ++i;
    m_str.erase(0, i);
    return *this;
}

CString& CString::TrimRight() {
    size_t n = m_str.size();
    while (n > 0 && std::iswspace(m_str[n - 1])) --n;
    m_str.resize(n);
    return *this;
}

CString& CString::Trim() { return TrimRight().TrimLeft(); }

CString& CString::TrimLeft(const wchar_t* chars) {
    size_t i = 0;
    while (i < m_str.size() && isIn(m_str[i], chars)) ++i;
    m_str.erase(0, i);
    return *this;
}

CString& CString::TrimRight(const wchar_t* chars) {
    size_t n = m_str.size();
    while (n > 0 && isIn(m_str[n - 1], chars)) --n;
    m_str.resize(n);
    return *this;
}

CString& CString::Trim(const wchar_t* chars) { return TrimRight(chars).TrimLeft(chars); }

CString& CString::MakeUpper() {
    if (!m_str.empty()) CharUpperBuffW(&m_str[0], static_cast<DWORD>(m_str.size()));
    return *this;
}

CString& CString::MakeLower() {
    if (!m_str.empty()) CharLowerBuffW(&m_str[0], static_cast<DWORD>(m_str.size()));
    return *this;
}

CString CString::Left(int count) const {
    if (count <= 0) return CString();
    return CString(m_str.substr(0, static_cast<size_t>(count)));
}

CString CString::Right(int count) const {
    if (count <= 0) return CString();
    if (count >= GetLength()) return *this;
    return CString(m_str.substr(m_str.size() - static_cast<size_t>(count)));
}

CString CString::Mid(int first) const { return Mid(first, GetLength()); }

CString CString::Mid(int first, int count) const {
    if (first < 0) first = 0;
    if (first >= GetLength() || count <= 0) return CString();
    return CString(m_str.substr(static_cast<size_t>(first), static_cast<size_t>(count)));
}

void CString::FormatV(const wchar_t* format, va_list args) {
    m_str.clear();
    std::vector<wchar_t> buf(256);
    for (;;) {
        va_list copy;
        va_copy(copy, args);
        int n = std::vswprintf(buf.data(), buf.size(), format, copy);
        va_end(copy);
        if (n >= 0 && static_cast<size_t>(n) < buf.size()) {
            m_str.assign(buf.data(), static_cast<size_t>(n));
            return;
        }
        if (buf.size() >= (1u << 24)) return;  // a format that never fits: leave it empty
        buf.resize(buf.size() * 4);
    }
}

void CString::Format(const wchar_t* format, ...) {
    va_list args;
    va_start(args, format);
    FormatV(format, args);
    va_end(args);
}

void CString::AppendFormat(const wchar_t* format, ...) {
    CString piece;
    va_list args;
    va_start(args, format);
    piece.FormatV(format, args);
    va_end(args);
    m_str += piece.m_str;
}

wchar_t* CString::GetBuffer(int minLength) {
    if (minLength > GetLength()) m_str.resize(static_cast<size_t>(minLength));
    return &m_str[0];
}

void CString::ReleaseBuffer(int newLength) {
    if (newLength < 0) {
        m_str.resize(std::wcslen(m_str.c_str()));
    } else {
        m_str.resize(static_cast<size_t>(newLength));
    }
}
