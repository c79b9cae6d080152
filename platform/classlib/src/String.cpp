#include "classlib/String.h"

#include <algorithm>
#include <string_view>

#include "classlib/App.h"
#include "crt/Convert.h"
#include "crt/Format.h"
#include "crt/WideString.h"
#include "user/Strings.h"

namespace {

// The largest text Format produces; longer results are cut there.
constexpr size_t kMaxFormatted = size_t(1) << 20;

} // namespace

CString::CString(LPCWSTR text) {
    if (text)
        m_text = text;
}

CString::CString(LPCWSTR text, int length) {
    if (text && length > 0)
        m_text.assign(text, static_cast<size_t>(length));
}

CString::CString(WCHAR ch, int repeat) {
    if (repeat > 0)
        m_text.assign(static_cast<size_t>(repeat), ch);
}

CString::CString(const char* text) {
    if (!text)
        return;
    size_t length = mbstowcs(nullptr, text, 0);
    m_text.resize(length);
    mbstowcs(m_text.data(), text, length);
}

CString& CString::operator=(LPCWSTR text) {
    if (!text)
        m_text.clear();
    else
        m_text = text; // assign copies first, so text may point into this string
    return *this;
}

CString& CString::operator=(WCHAR ch) {
    m_text.assign(1, ch);
    return *this;
}

WCHAR CString::GetAt(int index) const {
    if (index < 0 || index >= GetLength())
        return 0;
    return m_text[static_cast<size_t>(index)];
}

void CString::SetAt(int index, WCHAR ch) {
    if (index >= 0 && index < GetLength())
        m_text[static_cast<size_t>(index)] = ch;
}

CString& CString::operator+=(const CString& text) {
    m_text += text.m_text;
    return *this;
}

CString& CString::operator+=(LPCWSTR text) {
    if (text)
        m_text += std::u16string(text);
    return *this;
}

CString& CString::operator+=(WCHAR ch) {
    m_text.push_back(ch);
    return *this;
}

CString operator+(const CString& a, const CString& b) {
    CString result(a);
    result += b;
    return result;
}

CString operator+(const CString& a, LPCWSTR b) {
    CString result(a);
    result += b;
    return result;
}

CString operator+(LPCWSTR a, const CString& b) {
    CString result(a);
    result += b;
    return result;
}

CString operator+(const CString& a, WCHAR b) {
    CString result(a);
    result += b;
    return result;
}

CString operator+(WCHAR a, const CString& b) {
    CString result(a);
    result += b;
    return result;
}

int CString::Compare(LPCWSTR text) const {
    return wcscmp(m_text.c_str(), text ? text : u"");
}

int CString::CompareNoCase(LPCWSTR text) const {
    return _wcsicmp(m_text.c_str(), text ? text : u"");
}

CString CString::Mid(int first) const {
    return Mid(first, GetLength());
}

CString CString::Mid(int first, int count) const {
    first = std::clamp(first, 0, GetLength());
    count = std::clamp(count, 0, GetLength() - first);
    return CString(m_text.c_str() + first, count);
}

CString CString::Left(int count) const {
    return Mid(0, count);
}

CString CString::Right(int count) const {
    count = std::clamp(count, 0, GetLength());
    return Mid(GetLength() - count, count);
}

int CString::Find(WCHAR ch, int start) const {
    if (start < 0 || start >= GetLength())
        return -1;
    size_t found = m_text.find(ch, static_cast<size_t>(start));
    return found == std::u16string::npos ? -1 : static_cast<int>(found);
}

int CString::Find(LPCWSTR text, int start) const {
    if (!text || start < 0 || start > GetLength())
        return -1;
    size_t found = m_text.find(text, static_cast<size_t>(start));
    return found == std::u16string::npos ? -1 : static_cast<int>(found);
}

int CString::ReverseFind(WCHAR ch) const {
    size_t found = m_text.rfind(ch);
    return found == std::u16string::npos ? -1 : static_cast<int>(found);
}

CString& CString::MakeLower() {
    for (WCHAR& ch : m_text)
        ch = ToLowerW(ch);
    return *this;
}

CString& CString::MakeUpper() {
    for (WCHAR& ch : m_text)
        ch = ToUpperW(ch);
    return *this;
}

void CString::Format(LPCWSTR format, ...) {
    va_list args;
    va_start(args, format);
    FormatV(format, args);
    va_end(args);
}

void CString::FormatV(LPCWSTR format, va_list args) {
    if (!format) {
        m_text.clear();
        return;
    }
    std::u16string buffer(256, u'\0');
    while (true) {
        va_list copy;
        va_copy(copy, args);
        int written = _vsnwprintf(buffer.data(), buffer.size(), format, copy);
        va_end(copy);
        if (written >= 0) {
            buffer.resize(static_cast<size_t>(written));
            break;
        }
        if (buffer.size() >= kMaxFormatted) {
            buffer.resize(wcslen(buffer.c_str()));
            break;
        }
        buffer.assign(buffer.size() * 2, u'\0');
    }
    m_text = std::move(buffer);
}

LPWSTR CString::GetBuffer(int minLength) {
    if (minLength > GetLength())
        m_text.resize(static_cast<size_t>(minLength), u'\0');
    return m_text.data();
}

LPWSTR CString::GetBufferSetLength(int length) {
    m_text.resize(static_cast<size_t>(std::max(length, 0)), u'\0');
    return m_text.data();
}

void CString::ReleaseBuffer(int newLength) {
    size_t length = newLength < 0 ? wcsnlen(m_text.c_str(), m_text.size())
                                  : std::min(static_cast<size_t>(newLength), m_text.size());
    m_text.resize(length);
}

BOOL CString::LoadString(UINT nID) {
    // Most strings fit the first buffer; a string table entry holds at most 65535 units.
    for (size_t size : {size_t{256}, size_t{65536}}) {
        std::u16string buffer(size, u'\0');
        int length = LoadStringW(AfxGetResourceHandle(), nID, buffer.data(), static_cast<int>(size));
        if (length == 0)
            return FALSE;
        if (static_cast<size_t>(length) + 1 < size || size == 65536) {
            m_text.assign(buffer.data(), static_cast<size_t>(length));
            return TRUE;
        }
    }
    return FALSE;
}

bool operator==(const CString& a, const CString& b) {
    return std::u16string_view(a, static_cast<size_t>(a.GetLength())) ==
           std::u16string_view(b, static_cast<size_t>(b.GetLength()));
}
bool operator==(const CString& a, LPCWSTR b) {
    return a.Compare(b) == 0;
}
bool operator==(LPCWSTR a, const CString& b) {
    return b.Compare(a) == 0;
}
bool operator!=(const CString& a, const CString& b) {
    return !(a == b);
}
bool operator!=(const CString& a, LPCWSTR b) {
    return !(a == b);
}
bool operator!=(LPCWSTR a, const CString& b) {
    return !(a == b);
}
bool operator<(const CString& a, const CString& b) {
    return a.Compare(b) < 0;
}
bool operator>(const CString& a, const CString& b) {
    return a.Compare(b) > 0;
}
bool operator<=(const CString& a, const CString& b) {
    return a.Compare(b) <= 0;
}
bool operator>=(const CString& a, const CString& b) {
    return a.Compare(b) >= 0;
}
