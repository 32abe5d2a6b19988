#pragma once
// CString: the framework's wide (UTF-16) string, with the members the launcher uses.
// A thin value type over std::wstring; it converts to a zero-terminated LPCWSTR so it
// can be handed to Win32 calls directly.
#include <windows.h>
#include <cstdarg>
#include <string>

class CString {
public:
    CString() = default;
    CString(const wchar_t* text) : m_str(text ? text : L"") {}
    CString(const wchar_t* text, int length) : m_str(text ? text : L"", text ? static_cast<size_t>(length) : 0) {}
    CString(wchar_t ch, int repeat = 1) : m_str(static_cast<size_t>(repeat > 0 ? repeat : 0), ch) {}
    CString(const std::wstring& text) : m_str(text) {}
    CString(std::wstring&& text) : m_str(std::move(text)) {}

    operator LPCWSTR() const { return m_str.c_str(); }
    LPCWSTR GetString() const { return m_str.c_str(); }
    const std::wstring& Str() const { return m_str; }

    int GetLength() const { return static_cast<int>(m_str.size()); }
    bool IsEmpty() const { return m_str.empty(); }
    void Empty() { m_str.clear(); }
    wchar_t GetAt(int index) const { return m_str.at(static_cast<size_t>(index)); }
    wchar_t operator[](int index) const { return GetAt(index); }

    CString& operator=(const wchar_t* text) { m_str = text ? text : L""; return *this; }
    CString& operator+=(const CString& other) { m_str += other.m_str; return *this; }
    CString& operator+=(const wchar_t* text) { if (text) m_str += text; return *this; }
    CString& operator+=(wchar_t ch) { m_str += ch; return *this; }
    void Append(const wchar_t* text, int length) { if (text && length > 0) m_str.append(text, static_cast<size_t>(length)); }

    // Ordinal comparisons; CompareNoCase folds case like _wcsicmp (the system's rules).
    int Compare(const wchar_t* other) const;
    int CompareNoCase(const wchar_t* other) const;

    // Index of the first occurrence at or after start, or -1.
    int Find(wchar_t ch, int start = 0) const;
    int Find(const wchar_t* sub, int start = 0) const;
    // Replaces every occurrence; returns how many were replaced.
    int Replace(wchar_t oldCh, wchar_t newCh);
    int Replace(const wchar_t* oldText, const wchar_t* newText);

    // Without arguments these remove white space as iswspace defines it.
    CString& Trim();
    CString& TrimLeft();
    CString& TrimRight();
    CString& Trim(const wchar_t* chars);
    CString& TrimLeft(const wchar_t* chars);
    CString& TrimRight(const wchar_t* chars);

    CString& MakeUpper();
    CString& MakeLower();

    CString Left(int count) const;
    CString Right(int count) const;
    CString Mid(int first) const;
    CString Mid(int first, int count) const;

    // printf-style formatting. Wide string arguments take %ls (portable between the
    // Microsoft and the C99 conventions of %s).
    void Format(const wchar_t* format, ...);
    void AppendFormat(const wchar_t* format, ...);
    void FormatV(const wchar_t* format, va_list args);

    // Raw buffer access for Win32 calls that write text.
    wchar_t* GetBuffer(int minLength);
    void ReleaseBuffer(int newLength = -1);

private:
    std::wstring m_str;
};

inline CString operator+(const CString& a, const CString& b) { CString r(a); r += b; return r; }
inline CString operator+(const CString& a, const wchar_t* b) { CString r(a); r += b; return r; }
inline CString operator+(const wchar_t* a, const CString& b) { CString r(a); r += b; return r; }
inline CString operator+(const CString& a, wchar_t b) { CString r(a); r += b; return r; }
inline bool operator==(const CString& a, const CString& b) { return a.Str() == b.Str(); }
inline bool operator==(const CString& a, const wchar_t* b) { return a.Compare(b) == 0; }
inline bool operator==(const wchar_t* a, const CString& b) { return b.Compare(a) == 0; }
inline bool operator!=(const CString& a, const CString& b) { return !(a == b); }
inline bool operator!=(const CString& a, const wchar_t* b) { return !(a == b); }
inline bool operator!=(const wchar_t* a, const CString& b) { return !(a == b); }
inline bool operator<(const CString& a, const CString& b) { return a.Str() < b.Str(); }
