#include <optional>
#include <string>

#include "com/Automation.h"

namespace {

// The value types a VARIANT may hold here, by value or by reference.
bool IsServedType(VARTYPE vt) {
    switch (vt & ~VT_BYREF) {
    case VT_EMPTY:
    case VT_NULL:
        return (vt & VT_BYREF) == 0;
    case VT_I2:
    case VT_I4:
    case VT_R4:
    case VT_R8:
    case VT_CY:
    case VT_DATE:
    case VT_BSTR:
    case VT_DISPATCH:
    case VT_ERROR:
    case VT_BOOL:
    case VT_UNKNOWN:
    case VT_I1:
    case VT_UI1:
    case VT_UI2:
    case VT_UI4:
    case VT_I8:
    case VT_UI8:
    case VT_INT:
    case VT_UINT:
        return true;
    case VT_VARIANT:
        return (vt & VT_BYREF) != 0;
    default:
        return false;
    }
}

std::u16string Decimal(unsigned long long magnitude, bool negative) {
    std::u16string digits;
    do {
        digits.insert(digits.begin(), static_cast<char16_t>(u'0' + magnitude % 10));
        magnitude /= 10;
    } while (magnitude != 0);
    if (negative)
        digits.insert(digits.begin(), u'-');
    return digits;
}

std::u16string SignedDecimal(long long value) {
    unsigned long long magnitude =
        value < 0 ? 0ull - static_cast<unsigned long long>(value) : static_cast<unsigned long long>(value);
    return Decimal(magnitude, value < 0);
}

// The text of a value converted to VT_BSTR, or nullopt when that conversion is not served.
std::optional<std::u16string> TextOf(const VARIANT& value, USHORT flags) {
    switch (value.vt) {
    case VT_EMPTY:
        return std::u16string();
    case VT_I1:
        return SignedDecimal(static_cast<signed char>(value.cVal));
    case VT_I2:
        return SignedDecimal(value.iVal);
    case VT_I4:
        return SignedDecimal(value.lVal);
    case VT_I8:
        return SignedDecimal(value.llVal);
    case VT_INT:
        return SignedDecimal(value.intVal);
    case VT_UI1:
        return Decimal(value.bVal, false);
    case VT_UI2:
        return Decimal(value.uiVal, false);
    case VT_UI4:
        return Decimal(value.ulVal, false);
    case VT_UI8:
        return Decimal(value.ullVal, false);
    case VT_UINT:
        return Decimal(value.uintVal, false);
    case VT_BOOL:
        if (flags & (VARIANT_ALPHABOOL | VARIANT_LOCALBOOL))
            return std::u16string(value.boolVal ? u"True" : u"False");
        return std::u16string(value.boolVal ? u"-1" : u"0");
    default:
        return std::nullopt;
    }
}

} // namespace

void VariantInit(VARIANTARG* pvarg) {
    if (pvarg)
        pvarg->vt = VT_EMPTY;
}

HRESULT VariantClear(VARIANTARG* pvarg) {
    if (!pvarg)
        return E_INVALIDARG;
    if (!IsServedType(pvarg->vt))
        return DISP_E_BADVARTYPE;
    switch (pvarg->vt) {
    case VT_BSTR:
        SysFreeString(pvarg->bstrVal);
        break;
    case VT_UNKNOWN:
        if (pvarg->punkVal)
            pvarg->punkVal->Release();
        break;
    case VT_DISPATCH:
        if (pvarg->pdispVal)
            pvarg->pdispVal->Release();
        break;
    default:
        break;
    }
    pvarg->vt = VT_EMPTY;
    pvarg->llVal = 0;
    return S_OK;
}

HRESULT VariantCopy(VARIANTARG* pvargDest, const VARIANTARG* pvargSrc) {
    if (!pvargDest || !pvargSrc)
        return E_INVALIDARG;
    if (pvargDest == pvargSrc)
        return S_OK;
    if (!IsServedType(pvargSrc->vt))
        return DISP_E_BADVARTYPE;
    VARIANT copy = *pvargSrc;
    if (copy.vt == VT_BSTR && copy.bstrVal) {
        copy.bstrVal = SysAllocStringLen(pvargSrc->bstrVal, SysStringLen(pvargSrc->bstrVal));
        if (!copy.bstrVal)
            return E_OUTOFMEMORY;
    }
    HRESULT hr = VariantClear(pvargDest);
    if (FAILED(hr)) {
        if (copy.vt == VT_BSTR)
            SysFreeString(copy.bstrVal);
        return hr;
    }
    if (copy.vt == VT_UNKNOWN && copy.punkVal)
        copy.punkVal->AddRef();
    if (copy.vt == VT_DISPATCH && copy.pdispVal)
        copy.pdispVal->AddRef();
    *pvargDest = copy;
    return S_OK;
}

HRESULT VariantChangeType(VARIANTARG* pvargDest, const VARIANTARG* pvarSrc, USHORT wFlags, VARTYPE vt) {
    if (!pvargDest || !pvarSrc)
        return E_INVALIDARG;
    if (!IsServedType(pvarSrc->vt))
        return DISP_E_BADVARTYPE;
    if (vt == pvarSrc->vt)
        return VariantCopy(pvargDest, pvarSrc);
    if (vt != VT_BSTR)
        return DISP_E_TYPEMISMATCH;
    std::optional<std::u16string> text = TextOf(*pvarSrc, wFlags);
    if (!text)
        return DISP_E_TYPEMISMATCH;
    BSTR converted = SysAllocStringLen(text->data(), static_cast<UINT>(text->size()));
    if (!converted)
        return E_OUTOFMEMORY;
    // The source is read completely before the destination, which may be the source, is cleared.
    HRESULT hr = VariantClear(pvargDest);
    if (FAILED(hr)) {
        SysFreeString(converted);
        return hr;
    }
    pvargDest->vt = VT_BSTR;
    pvargDest->bstrVal = converted;
    return S_OK;
}
