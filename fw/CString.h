// Byte string in the ANSI code page. Lengths and offsets count bytes; no character-set
// knowledge, so multibyte text passes through unchanged. Plain C++: no windows.h.
#pragma once

#include <cstdarg>
#include <string>

class CString {
public:
    CString() = default;
    CString(const char *psz) : m_str(psz ? psz : "") {}
    CString(const char *pch, int nLength);
    CString(char ch, int nRepeat = 1);
    CString(const CString &) = default;
    CString(CString &&) = default;

    CString &operator=(const CString &) = default;
    CString &operator=(CString &&) = default;
    CString &operator=(const char *psz);
    CString &operator=(char ch);

    CString &operator+=(const CString &str);
    CString &operator+=(const char *psz);
    CString &operator+=(char ch);

    int GetLength() const { return static_cast<int>(m_str.size()); }
    bool IsEmpty() const { return m_str.empty(); }
    void Empty() { m_str.clear(); }
    char GetAt(int nIndex) const;
    operator const char *() const { return m_str.c_str(); }

    // Byte-wise comparison, bytes taken as unsigned.
    int Compare(const char *psz) const;

    CString Left(int nCount) const;
    CString Mid(int nFirst, int nCount = -1) const;
    CString Right(int nCount) const;

    // printf-style; an argument may be this string itself.
    void Format(const char *pszFormat, ...) __attribute__((format(printf, 2, 3)));
    void FormatV(const char *pszFormat, va_list args);

    // Writable buffer of at least nMinLength bytes plus a terminator; ReleaseBuffer(-1)
    // takes the length up to the first NUL.
    char *GetBuffer(int nMinLength);
    void ReleaseBuffer(int nNewLength = -1);

private:
    std::string m_str;
};

CString operator+(const CString &a, const CString &b);
CString operator+(const CString &a, const char *b);
CString operator+(const char *a, const CString &b);
inline bool operator==(const CString &a, const char *b) { return a.Compare(b) == 0; }
inline bool operator==(const char *a, const CString &b) { return b.Compare(a) == 0; }
inline bool operator==(const CString &a, const CString &b) { return a.Compare(b) == 0; }
inline bool operator!=(const CString &a, const char *b) { return a.Compare(b) != 0; }
inline bool operator!=(const CString &a, const CString &b) { return a.Compare(b) != 0; }
inline bool operator<(const CString &a, const CString &b) { return a.Compare(b) < 0; }
