#pragma once
// CString: the class library's UTF-16 string, a value (copies are independent). Positions and lengths
// are in UTF-16 units. Out-of-range arguments are clamped as the class library clamps them: Mid and Left
// with a negative count give "", with a count past the end give the rest; Find from a start beyond the
// end gives -1. Format takes the C run time's wide printf rules (crt/Format.h).
//
// GetBuffer(n) gives room for at least n units and a terminator; the text stays as it was until
// ReleaseBuffer(length) sets the length (-1: up to the first NUL). No other member may be called in
// between.

#include <cstdarg>
#include <string>

#include "crt/Types.h"

class CString {
public:
    CString() = default;
    CString(const CString&) = default;
    CString(CString&&) noexcept = default;
    CString(LPCWSTR text);
    CString(LPCWSTR text, int length);
    CString(WCHAR ch, int repeat = 1);
    // 8-bit text, one byte a character.
    CString(const char* text);
    ~CString() = default;

    CString& operator=(const CString&) = default;
    CString& operator=(CString&&) noexcept = default;
    CString& operator=(LPCWSTR text);
    CString& operator=(WCHAR ch);

    operator LPCWSTR() const { return m_text.c_str(); }
    int GetLength() const { return static_cast<int>(m_text.size()); }
    bool IsEmpty() const { return m_text.empty(); }
    void Empty() { m_text.clear(); }
    // The unit at a position; 0 outside the string.
    WCHAR GetAt(int index) const;
    WCHAR operator[](int index) const { return GetAt(index); }
    void SetAt(int index, WCHAR ch);

    CString& operator+=(const CString& text);
    CString& operator+=(LPCWSTR text);
    CString& operator+=(WCHAR ch);
    friend CString operator+(const CString& a, const CString& b);
    friend CString operator+(const CString& a, LPCWSTR b);
    friend CString operator+(LPCWSTR a, const CString& b);
    friend CString operator+(const CString& a, WCHAR b);
    friend CString operator+(WCHAR a, const CString& b);

    // The sign of the first differing pair of units (as unsigned), as wcscmp and _wcsicmp give it.
    int Compare(LPCWSTR text) const;
    int CompareNoCase(LPCWSTR text) const;

    CString Mid(int first) const;
    CString Mid(int first, int count) const;
    CString Left(int count) const;
    CString Right(int count) const;
    int Find(WCHAR ch, int start = 0) const;
    int Find(LPCWSTR text, int start = 0) const;
    int ReverseFind(WCHAR ch) const;
    CString& MakeLower();
    CString& MakeUpper();

    // Takes string nID of the resource module (AfxGetResourceHandle); FALSE, and the text left as it was,
    // when there is no such string.
    BOOL LoadString(UINT nID);

    void Format(LPCWSTR format, ...);
    void FormatV(LPCWSTR format, va_list args);

    LPWSTR GetBuffer(int minLength);
    LPWSTR GetBufferSetLength(int length);
    void ReleaseBuffer(int newLength = -1);

private:
    std::u16string m_text;
};

bool operator==(const CString& a, const CString& b);
bool operator==(const CString& a, LPCWSTR b);
bool operator==(LPCWSTR a, const CString& b);
bool operator!=(const CString& a, const CString& b);
bool operator!=(const CString& a, LPCWSTR b);
bool operator!=(LPCWSTR a, const CString& b);
bool operator<(const CString& a, const CString& b);
bool operator>(const CString& a, const CString& b);
bool operator<=(const CString& a, const CString& b);
bool operator>=(const CString& a, const CString& b);
