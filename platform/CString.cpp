#include "platform/CString.h"

#include <cstring>

CString::CString(LPCTSTR psz) : m_str(psz ? psz : "") {}

CString::CString(LPCTSTR pch, int nLength)
{
    if (pch && nLength > 0)
        m_str.assign(pch, strnlen(pch, static_cast<size_t>(nLength)));
}

CString::CString(char ch, int nRepeat)
{
    if (ch != '\0' && nRepeat > 0)
        m_str.assign(static_cast<size_t>(nRepeat), ch);
}

CString& CString::operator=(LPCTSTR psz)
{
    m_str.assign(psz ? psz : "");
    return *this;
}

CString& CString::operator+=(const CString& str)
{
    m_str += str.m_str;
    return *this;
}

CString& CString::operator+=(LPCTSTR psz)
{
    if (psz)
        m_str += psz;
    return *this;
}

CString& CString::operator+=(char ch)
{
    if (ch != '\0')
        m_str += ch;
    return *this;
}

int CString::Compare(LPCTSTR psz) const noexcept
{
    return std::strcmp(m_str.c_str(), psz ? psz : "");
}

int CString::CompareNoCase(LPCTSTR psz) const noexcept
{
    return _stricmp(m_str.c_str(), psz ? psz : "");
}

CString CString::Left(int nCount) const
{
    if (nCount <= 0)
        return CString();
    return CString(m_str.substr(0, static_cast<size_t>(nCount)).c_str());
}

CString CString::Mid(int nFirst, int nCount) const
{
    if (nFirst < 0)
        nFirst = 0;
    if (nFirst >= GetLength() || nCount == 0)
        return CString();
    size_t count = nCount < 0 ? std::string::npos : static_cast<size_t>(nCount);
    return CString(m_str.substr(static_cast<size_t>(nFirst), count).c_str());
}

int CString::Find(char ch, int nStart) const noexcept
{
    if (nStart < 0 || nStart >= GetLength())
        return -1;
    size_t pos = m_str.find(ch, static_cast<size_t>(nStart));
    return pos == std::string::npos ? -1 : static_cast<int>(pos);
}

int CString::ReverseFind(char ch) const noexcept
{
    size_t pos = m_str.rfind(ch);
    return pos == std::string::npos ? -1 : static_cast<int>(pos);
}

LPTSTR CString::GetBuffer(int nMinBufLength)
{
    if (nMinBufLength > GetLength())
        m_str.resize(static_cast<size_t>(nMinBufLength));
    return &m_str[0];
}

void CString::ReleaseBuffer(int nNewLength)
{
    size_t len = nNewLength < 0 ? strnlen(m_str.c_str(), m_str.size())
                                : strnlen(m_str.c_str(), static_cast<size_t>(nNewLength));
    m_str.resize(len);
}

CString operator+(const CString& a, const CString& b)
{
    CString s(a);
    s += b;
    return s;
}

CString operator+(const CString& a, LPCTSTR b)
{
    CString s(a);
    s += b;
    return s;
}

CString operator+(LPCTSTR a, const CString& b)
{
    CString s(a);
    s += b;
    return s;
}
