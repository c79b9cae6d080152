// 8-bit text as the handheld's run time treated it: every byte is one character, U+0000 to U+00FF.

#include <cstddef>

#include "crt/Convert.h"

size_t mbstowcs(WCHAR* dst, const char* src, size_t count) {
    if (src == nullptr)
        return 0;
    size_t n = 0;
    if (dst == nullptr) {
        while (src[n] != 0)
            ++n;
        return n;
    }
    for (; n < count; ++n) {
        dst[n] = static_cast<unsigned char>(src[n]);
        if (src[n] == 0)
            return n;
    }
    return n;
}

size_t mbstowcs(std::nullptr_t, const char* src, size_t count) {
    return mbstowcs(static_cast<WCHAR*>(nullptr), src, count);
}

size_t wcstombs(char* dst, const WCHAR* src, size_t count) {
    if (src == nullptr)
        return 0;
    size_t n = 0;
    if (dst == nullptr) {
        while (src[n] != 0)
            ++n;
        return n;
    }
    for (; n < count; ++n) {
        const WCHAR unit = src[n];
        dst[n] = unit < 0x100 ? static_cast<char>(static_cast<unsigned char>(unit)) : '?';
        if (unit == 0)
            return n;
    }
    return n;
}
