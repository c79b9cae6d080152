#include <string_view>

#include "com/Automation.h"
#include "com/Unknown.h"

const GUID GUID_NULL = {0x00000000, 0x0000, 0x0000, {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}};
const IID IID_NULL = GUID_NULL;
const CLSID CLSID_NULL = GUID_NULL;
const IID IID_IUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const IID IID_IClassFactory = {0x00000001, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const IID IID_IDispatch = {0x00020400, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const IID IID_ITypeInfo = {0x00020401, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const IID IID_ISupportErrorInfo = {
    0xDF0B3D60, 0x548F, 0x101B, {0x8E, 0x65, 0x08, 0x00, 0x2B, 0x2B, 0xD1, 0x19}};

namespace {

// Format notes: "{" 8 hex "-" 4 hex "-" 4 hex "-" 4 hex "-" 12 hex "}"; the last two groups are the
// eight bytes of Data4 in order.
constexpr size_t kGuidTextLength = 38;
constexpr size_t kDigitPositions[32] = {1,  2,  3,  4,  5,  6,  7,  8,  10, 11, 12, 13, 15, 16, 17, 18,
                                        20, 21, 22, 23, 25, 26, 27, 28, 29, 30, 31, 32, 33, 34, 35, 36};
constexpr size_t kDashPositions[4] = {9, 14, 19, 24};

int HexValue(WCHAR unit) {
    if (unit >= u'0' && unit <= u'9')
        return unit - u'0';
    if (unit >= u'a' && unit <= u'f')
        return unit - u'a' + 10;
    if (unit >= u'A' && unit <= u'F')
        return unit - u'A' + 10;
    return -1;
}

// The 16 bytes of a GUID in text order.
void GuidBytes(REFGUID guid, BYTE bytes[16]) {
    for (int i = 0; i < 4; ++i)
        bytes[i] = static_cast<BYTE>(guid.Data1 >> (24 - 8 * i));
    bytes[4] = static_cast<BYTE>(guid.Data2 >> 8);
    bytes[5] = static_cast<BYTE>(guid.Data2);
    bytes[6] = static_cast<BYTE>(guid.Data3 >> 8);
    bytes[7] = static_cast<BYTE>(guid.Data3);
    for (int i = 0; i < 8; ++i)
        bytes[8 + i] = guid.Data4[i];
}

} // namespace

int StringFromGUID2(REFGUID rguid, LPOLESTR lpsz, int cchMax) {
    if (!lpsz || cchMax < static_cast<int>(kGuidTextLength + 1))
        return 0;
    static constexpr char kDigits[] = "0123456789ABCDEF";
    BYTE bytes[16];
    GuidBytes(rguid, bytes);
    lpsz[0] = u'{';
    for (size_t dash : kDashPositions)
        lpsz[dash] = u'-';
    for (size_t i = 0; i < 32; ++i) {
        BYTE byte = bytes[i / 2];
        lpsz[kDigitPositions[i]] = static_cast<WCHAR>(kDigits[i % 2 == 0 ? byte >> 4 : byte & 0xF]);
    }
    lpsz[kGuidTextLength - 1] = u'}';
    lpsz[kGuidTextLength] = u'\0';
    return static_cast<int>(kGuidTextLength + 1);
}

HRESULT CLSIDFromString(LPCOLESTR lpsz, LPCLSID pclsid) {
    if (!pclsid)
        return E_INVALIDARG;
    if (!lpsz) {
        *pclsid = CLSID_NULL;
        return S_OK;
    }
    std::u16string_view text(lpsz);
    if (text.size() != kGuidTextLength || text.front() != u'{' || text.back() != u'}')
        return CO_E_CLASSSTRING;
    for (size_t dash : kDashPositions)
        if (text[dash] != u'-')
            return CO_E_CLASSSTRING;
    BYTE bytes[16] = {};
    for (size_t i = 0; i < 32; ++i) {
        int value = HexValue(text[kDigitPositions[i]]);
        if (value < 0)
            return CO_E_CLASSSTRING;
        bytes[i / 2] = static_cast<BYTE>(bytes[i / 2] << 4 | value);
    }
    CLSID result{};
    result.Data1 = static_cast<DWORD>(bytes[0]) << 24 | static_cast<DWORD>(bytes[1]) << 16 |
                   static_cast<DWORD>(bytes[2]) << 8 | bytes[3];
    result.Data2 = static_cast<WORD>(bytes[4] << 8 | bytes[5]);
    result.Data3 = static_cast<WORD>(bytes[6] << 8 | bytes[7]);
    for (int i = 0; i < 8; ++i)
        result.Data4[i] = bytes[8 + i];
    *pclsid = result;
    return S_OK;
}
