#include "fw/CString.h"

#include <cstdio>
#include <cstring>

CString::CString(const char *pch, int nLength)
{
    if (pch && nLength > 0)
        m_str.assign(pch, static_cast<size_t>(nLength));
}

CString::CString(char ch, int nRepeat)
{
    if (nRepeat > 0)
        m_str.assign(static_cast<size_t>(nRepeat), ch);
}

CString &CString::operator=(const char *psz)
{
    // Copy first: psz may point into this string.
    std::string copy(psz ? psz : "");
    m_str.swap(copy);
    return *this;
}

CString &CString::operator=(char ch)
{
    m_str.assign(1, ch);
    return *this;
}

CString &CString::operator+=(const CString &str)
{
    m_str += str.m_str;
    return *this;
}

CString &CString::operator+=(const char *psz)
{
    if (psz)
        m_str += std::string(psz);
    return *this;
}

CString &CString::operator+=(char ch)
{
    m_str += ch;
    return *this;
}

char CString::GetAt(int nIndex) const
{
    if (nIndex < 0 || nIndex >= GetLength())
        return '\0';
    return m_str[static_cast<size_t>(nIndex)];
}

int CString::Compare(const char *psz) const
{
    return std::strcmp(m_str.c_str(), psz ? psz : "");
}

CString CString::Left(int nCount) const
{
    return Mid(0, nCount);
}

CString CString::Mid(int nFirst, int nCount) const
{
    const int len = GetLength();
    if (nFirst < 0)
        nFirst = 0;
    if (nFirst > len)
        nFirst = len;
    if (nCount < 0 || nCount > len - nFirst)
        nCount = len - nFirst;
    return CString(m_str.data() + nFirst, nCount);
}

CString CString::Right(int nCount) const
{
    const int len = GetLength();
    if (nCount < 0)
        nCount = 0;
    if (nCount > len)
        nCount = len;
    return CString(m_str.data() + (len - nCount), nCount);
}

void CString::Format(const char *pszFormat, ...)
{
    va_list args;
    va_start(args, pszFormat);
    FormatV(pszFormat, args);
    va_end(args);
}

void CString::FormatV(const char *pszFormat, va_list args)
{
    if (!pszFormat) {
        m_str.clear();
        return;
    }
    // Formatted into a separate buffer, so arguments that point into this string stay valid.
    va_list measure;
    va_copy(measure, args);
    const int needed = std::vsnprintf(nullptr, 0, pszFormat, measure);
    va_end(measure);
    if (needed < 0) {
        m_str.clear();
        return;
    }
    std::string out(static_cast<size_t>(needed) + 1, '\0');
    std::vsnprintf(&out[0], out.size(), pszFormat, args);
    out.resize(static_cast<size_t>(needed));
    m_str.swap(out);
}

char *CString::GetBuffer(int nMinLength)
{
    if (nMinLength > GetLength())
        m_str.resize(static_cast<size_t>(nMinLength));
    return &m_str[0];
}

void CString::ReleaseBuffer(int nNewLength)
{
    if (nNewLength < 0)
        nNewLength = static_cast<int>(std::strlen(m_str.c_str()));
    if (nNewLength > GetLength())
        nNewLength = GetLength();
    m_str.resize(static_cast<size_t>(nNewLength));
}

CString operator+(const CString &a, const CString &b)
{
    CString s(a);
    s += b;
    return s;
}

CString operator+(const CString &a, const char *b)
{
    CString s(a);
    s += b;
    return s;
}

CString operator+(const char *a, const CString &b)
{
    CString s(a);
    s += b;
    return s;
}
