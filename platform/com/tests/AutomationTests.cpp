#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <limits>
#include <string>

#include "com/Automation.h"

namespace {

std::u16string Text(BSTR bstr) {
    return std::u16string(bstr, SysStringLen(bstr));
}

// An object that only counts its references.
class CountedObject final : public IUnknown {
public:
    STDMETHODIMP QueryInterface(REFIID, void** ppvObject) override {
        *ppvObject = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++m_references; }
    STDMETHODIMP_(ULONG) Release() override { return --m_references; }
    ULONG m_references = 1;
};

TEST(BstrTest, StringsCarryTheirLengthAndMayHoldNulUnits) {
    const char16_t withNul[] = {u'a', u'\0', u'b'};
    BSTR bstr = SysAllocStringLen(withNul, 3);
    ASSERT_NE(bstr, nullptr);
    EXPECT_EQ(SysStringLen(bstr), 3u);
    EXPECT_EQ(SysStringByteLen(bstr), 6u);
    EXPECT_EQ(Text(bstr), std::u16string(withNul, 3));
    EXPECT_EQ(bstr[3], u'\0');
    std::uint32_t prefix = 0;
    std::memcpy(&prefix, reinterpret_cast<const char*>(bstr) - 4, 4);
    EXPECT_EQ(prefix, 6u);
    SysFreeString(bstr);

    BSTR zeroed = SysAllocStringLen(nullptr, 2);
    ASSERT_NE(zeroed, nullptr);
    EXPECT_EQ(Text(zeroed), std::u16string(2, u'\0'));
    SysFreeString(zeroed);

    BSTR copied = SysAllocString(u"Tallowick");
    EXPECT_EQ(Text(copied), u"Tallowick");
    SysFreeString(copied);

    EXPECT_EQ(SysAllocString(nullptr), nullptr);
    EXPECT_EQ(SysStringLen(nullptr), 0u);
    SysFreeString(nullptr);
    // A length whose byte count does not fit the prefix.
    EXPECT_EQ(SysAllocStringLen(nullptr, 0x80000000u), nullptr);
    EXPECT_EQ(SysAllocStringLen(nullptr, std::numeric_limits<UINT>::max()), nullptr);
}

struct ToTextCase {
    const char* name;
    VARIANT value;
    USHORT flags;
    const char16_t* text;
};

VARIANT Make(VARTYPE vt, auto assign) {
    VARIANT value;
    VariantInit(&value);
    value.vt = vt;
    assign(value);
    return value;
}

TEST(VariantTest, IntegersBooleansAndEmptyValuesConvertToText) {
    const ToTextCase cases[] = {
        {"empty", Make(VT_EMPTY, [](VARIANT&) {}), 0, u""},
        {"I1", Make(VT_I1, [](VARIANT& v) { v.cVal = -128; }), 0, u"-128"},
        {"I2", Make(VT_I2, [](VARIANT& v) { v.iVal = -32768; }), 0, u"-32768"},
        {"I4", Make(VT_I4, [](VARIANT& v) { v.lVal = std::numeric_limits<LONG>::min(); }), 0, u"-2147483648"},
        {"I8", Make(VT_I8, [](VARIANT& v) { v.llVal = std::numeric_limits<LONGLONG>::min(); }), 0,
         u"-9223372036854775808"},
        {"INT", Make(VT_INT, [](VARIANT& v) { v.intVal = 0; }), 0, u"0"},
        {"UI1", Make(VT_UI1, [](VARIANT& v) { v.bVal = 255; }), 0, u"255"},
        {"UI2", Make(VT_UI2, [](VARIANT& v) { v.uiVal = 65535; }), 0, u"65535"},
        {"UI4", Make(VT_UI4, [](VARIANT& v) { v.ulVal = 4294967295u; }), 0, u"4294967295"},
        {"UI8", Make(VT_UI8, [](VARIANT& v) { v.ullVal = std::numeric_limits<ULONGLONG>::max(); }), 0,
         u"18446744073709551615"},
        {"UINT", Make(VT_UINT, [](VARIANT& v) { v.uintVal = 31; }), 0, u"31"},
        {"true", Make(VT_BOOL, [](VARIANT& v) { v.boolVal = VARIANT_TRUE; }), 0, u"-1"},
        {"false", Make(VT_BOOL, [](VARIANT& v) { v.boolVal = VARIANT_FALSE; }), 0, u"0"},
        {"alpha true", Make(VT_BOOL, [](VARIANT& v) { v.boolVal = VARIANT_TRUE; }), VARIANT_ALPHABOOL,
         u"True"},
        {"alpha false", Make(VT_BOOL, [](VARIANT& v) { v.boolVal = VARIANT_FALSE; }), VARIANT_ALPHABOOL,
         u"False"},
    };
    for (const ToTextCase& entry : cases) {
        SCOPED_TRACE(entry.name);
        VARIANT result;
        VariantInit(&result);
        ASSERT_EQ(VariantChangeType(&result, &entry.value, entry.flags, VT_BSTR), S_OK);
        ASSERT_EQ(result.vt, VT_BSTR);
        EXPECT_EQ(Text(result.bstrVal), entry.text);
        EXPECT_EQ(VariantClear(&result), S_OK);
        EXPECT_EQ(result.vt, VT_EMPTY);
    }
}

TEST(VariantTest, TextIsCopiedAndConvertedInPlace) {
    VARIANT source;
    VariantInit(&source);
    source.vt = VT_BSTR;
    source.bstrVal = SysAllocString(u"skin");
    VARIANT copy;
    VariantInit(&copy);
    ASSERT_EQ(VariantChangeType(&copy, &source, 0, VT_BSTR), S_OK);
    EXPECT_NE(copy.bstrVal, source.bstrVal);
    EXPECT_EQ(Text(copy.bstrVal), u"skin");
    // A NULL BSTR is the empty text and copies as NULL.
    VariantClear(&source);
    source.vt = VT_BSTR;
    source.bstrVal = nullptr;
    ASSERT_EQ(VariantCopy(&copy, &source), S_OK);
    EXPECT_EQ(copy.bstrVal, nullptr);

    VARIANT number;
    VariantInit(&number);
    number.vt = VT_I4;
    number.lVal = 240;
    ASSERT_EQ(VariantChangeType(&number, &number, 0, VT_BSTR), S_OK);
    EXPECT_EQ(number.vt, VT_BSTR);
    EXPECT_EQ(Text(number.bstrVal), u"240");
    VariantClear(&number);
}

TEST(VariantTest, UnservedConversionsAndTypesAreRefusedAndLeaveTheDestination) {
    VARIANT destination;
    VariantInit(&destination);
    destination.vt = VT_I4;
    destination.lVal = 7;
    VARIANT source;
    VariantInit(&source);

    source.vt = VT_NULL;
    EXPECT_EQ(VariantChangeType(&destination, &source, 0, VT_BSTR), DISP_E_TYPEMISMATCH);
    source.vt = VT_R8;
    source.dblVal = 1.5;
    EXPECT_EQ(VariantChangeType(&destination, &source, 0, VT_BSTR), DISP_E_TYPEMISMATCH);
    source.vt = VT_I4;
    source.lVal = 1;
    EXPECT_EQ(VariantChangeType(&destination, &source, 0, VT_BOOL), DISP_E_TYPEMISMATCH);
    source.vt = VT_ARRAY | VT_I4;
    EXPECT_EQ(VariantChangeType(&destination, &source, 0, VT_BSTR), DISP_E_BADVARTYPE);
    EXPECT_EQ(VariantClear(&source), DISP_E_BADVARTYPE);
    source.vt = 0x0FFF;
    EXPECT_EQ(VariantCopy(&destination, &source), DISP_E_BADVARTYPE);
    EXPECT_EQ(destination.vt, VT_I4);
    EXPECT_EQ(destination.lVal, 7);
}

TEST(VariantTest, InterfaceValuesAreCountedByCopyAndClear) {
    CountedObject object;
    VARIANT first;
    VariantInit(&first);
    first.vt = VT_UNKNOWN;
    first.punkVal = &object;
    object.AddRef();
    VARIANT second;
    VariantInit(&second);
    ASSERT_EQ(VariantCopy(&second, &first), S_OK);
    EXPECT_EQ(object.m_references, 3u);
    EXPECT_EQ(VariantClear(&second), S_OK);
    EXPECT_EQ(VariantClear(&first), S_OK);
    EXPECT_EQ(object.m_references, 1u);
    // A reference held by reference is not the variant's to release.
    VARIANT byReference;
    VariantInit(&byReference);
    IUnknown* pointer = &object;
    byReference.vt = VT_BYREF | VT_UNKNOWN;
    byReference.byref = &pointer;
    EXPECT_EQ(VariantClear(&byReference), S_OK);
    EXPECT_EQ(object.m_references, 1u);
}

} // namespace
