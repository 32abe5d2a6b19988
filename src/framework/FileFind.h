#pragma once
// CFileFind: walks the entries that match a search pattern (FindFirstFileW/FindNextFileW).
// FindFile starts the search and FindNextFile makes the next entry current, so a walk
// reads:
//     BOOL more = finder.FindFile(pattern);
//     while (more) { more = finder.FindNextFile(); ...look at the current entry... }
// The entry for which FindNextFile answers FALSE is current too; it is the last one.
// The search handle is closed by Close, by a new FindFile and by the destructor.
#include <windows.h>

#include "framework/CString.h"
#include "framework/Handles.h"

class CFileFind {
public:
    CFileFind();
    ~CFileFind();
    CFileFind(const CFileFind&) = delete;
    CFileFind& operator=(const CFileFind&) = delete;

    // Starts a search for `pattern` ("*.*" in the current folder when null). TRUE when at
    // least one entry matches; no entry is current until FindNextFile is called.
    BOOL FindFile(const wchar_t* pattern = nullptr, DWORD unused = 0);
    // Makes the next entry current. TRUE when another entry follows it.
    BOOL FindNextFile();
    void Close();

    // About the current entry; false or empty when there is none.
    BOOL IsDots() const;
    BOOL IsDirectory() const { return MatchesMask(FILE_ATTRIBUTE_DIRECTORY); }
    BOOL IsHidden() const { return MatchesMask(FILE_ATTRIBUTE_HIDDEN); }
    BOOL IsReadOnly() const { return MatchesMask(FILE_ATTRIBUTE_READONLY); }
    BOOL IsSystem() const { return MatchesMask(FILE_ATTRIBUTE_SYSTEM); }
    BOOL IsArchived() const { return MatchesMask(FILE_ATTRIBUTE_ARCHIVE); }
    BOOL MatchesMask(DWORD mask) const;
    CString GetFileName() const;
    // The folder of the pattern joined with the entry's name.
    CString GetFilePath() const;
    // The folder of the pattern, with its trailing backslash ("" when it has none).
    CString GetRoot() const { return m_root; }
    ULONGLONG GetLength() const;

private:
    UniqueFind m_find;
    WIN32_FIND_DATAW m_next;      // the entry FindNextFile will make current
    WIN32_FIND_DATAW m_current;
    bool m_hasNext = false;
    bool m_hasCurrent = false;
    CString m_root;
};
