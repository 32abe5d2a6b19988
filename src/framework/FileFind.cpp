#include "framework/FileFind.h"

#include <cwchar>

CFileFind::CFileFind() {
    ZeroMemory(&m_next, sizeof m_next);
    ZeroMemory(&m_current, sizeof m_current);
}

CFileFind::~CFileFind() { Close(); }

void CFileFind::Close() {
    m_find.reset();
    m_hasNext = false;
    m_hasCurrent = false;
    m_root.Empty();
}

BOOL CFileFind::FindFile(const wchar_t* pattern, DWORD) {
    Close();
    CString name = pattern ? pattern : L"*.*";
    m_find.reset(::FindFirstFileW(name, &m_next));
    if (!m_find) return FALSE;
    m_hasNext = true;

    // Everything up to the last separator is the folder the entries live in.
    int cut = -1;
    for (int i = 0; i < name.GetLength(); ++i) {
        wchar_t ch = name[i];
        if (ch == L'\\' || ch == L'/' || ch == L':') cut = i;
    }
    m_root = cut >= 0 ? name.Left(cut + 1) : CString();
    return TRUE;
}

BOOL CFileFind::FindNextFile() {
    if (!m_hasNext) return FALSE;
    m_current = m_next;
    m_hasCurrent = true;
    m_hasNext = ::FindNextFileW(m_find.get(), &m_next) != FALSE;
    return m_hasNext ? TRUE : FALSE;
}

BOOL CFileFind::MatchesMask(DWORD mask) const {
    return m_hasCurrent && (m_current.dwFileAttributes & mask) != 0;
}

BOOL CFileFind::IsDots() const {
    if (!m_hasCurrent || !IsDirectory()) return FALSE;
    const wchar_t* n = m_current.cFileName;
    return std::wcscmp(n, L".") == 0 || std::wcscmp(n, L"..") == 0;
}

CString CFileFind::GetFileName() const {
    return m_hasCurrent ? CString(m_current.cFileName) : CString();
}

CString CFileFind::GetFilePath() const {
    return m_hasCurrent ? m_root + m_current.cFileName : CString();
}

ULONGLONG CFileFind::GetLength() const {
    if (!m_hasCurrent) return 0;
    return (static_cast<ULONGLONG>(m_current.nFileSizeHigh) << 32) | m_current.nFileSizeLow;
}
