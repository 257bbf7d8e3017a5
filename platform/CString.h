// CString: the framework's single-byte string. A value type over std::string
// that converts to LPCTSTR where the Win32 calls want one. Text never holds a
// zero byte: construction and GetBuffer/ReleaseBuffer stop at the first one.
#pragma once

#include "platform/Win32.h"

#include <string>

class CString {
public:
    CString() = default;
    CString(LPCTSTR psz);                // null reads as ""
    CString(LPCTSTR pch, int nLength);   // at most nLength characters, up to a zero
    CString(char ch, int nRepeat = 1);

    int GetLength() const noexcept { return static_cast<int>(m_str.size()); }
    bool IsEmpty() const noexcept { return m_str.empty(); }
    void Empty() noexcept { m_str.clear(); }
    operator LPCTSTR() const noexcept { return m_str.c_str(); }
    char operator[](int nIndex) const { return m_str.at(static_cast<size_t>(nIndex)); }

    CString& operator=(LPCTSTR psz);
    CString& operator+=(const CString& str);
    CString& operator+=(LPCTSTR psz);
    CString& operator+=(char ch);

    // Ordinal and case-blind comparisons; result <0, 0, >0 as strcmp.
    int Compare(LPCTSTR psz) const noexcept;
    int CompareNoCase(LPCTSTR psz) const noexcept;

    CString Left(int nCount) const;
    CString Mid(int nFirst, int nCount = -1) const;
    int Find(char ch, int nStart = 0) const noexcept;
    int ReverseFind(char ch) const noexcept;

    // Writable storage of at least nMinBufLength characters plus a zero;
    // ReleaseBuffer(-1) takes the length up to the first zero.
    LPTSTR GetBuffer(int nMinBufLength);
    void ReleaseBuffer(int nNewLength = -1);

    friend CString operator+(const CString& a, const CString& b);
    friend CString operator+(const CString& a, LPCTSTR b);
    friend CString operator+(LPCTSTR a, const CString& b);
    friend bool operator==(const CString& a, const CString& b) noexcept { return a.m_str == b.m_str; }
    friend bool operator==(const CString& a, LPCTSTR b) noexcept { return a.Compare(b) == 0; }
    friend bool operator!=(const CString& a, const CString& b) noexcept { return !(a == b); }
    friend bool operator!=(const CString& a, LPCTSTR b) noexcept { return !(a == b); }

private:
    std::string m_str;
};
