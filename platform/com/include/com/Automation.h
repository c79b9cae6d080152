#pragma once
// Automation: BSTR strings, VARIANT values, IDispatch with the part of ITypeInfo that it needs, and
// ISupportErrorInfo.
//
// A BSTR points at UTF-16 text that is preceded by its length in bytes (32 bits) and followed by a
// terminator; it may hold NUL units, and NULL is the empty string. BSTRs are freed with SysFreeString.

#include "com/Unknown.h"
#include "crt/Types.h"

using BSTR = OLECHAR*;
using LPBSTR = BSTR*;
using VARIANT_BOOL = SHORT;
using VARTYPE = USHORT;
using DATE = double;
using DISPID = LONG;
using MEMBERID = DISPID;

#define VARIANT_TRUE (static_cast<VARIANT_BOOL>(-1))
#define VARIANT_FALSE (static_cast<VARIANT_BOOL>(0))

// NULL stays NULL.
BSTR SysAllocString(const OLECHAR* psz);
// ui units of pch, or ui zero units when pch is NULL, then a terminator; NULL when out of memory or when
// the size does not fit the 32-bit length.
BSTR SysAllocStringLen(const OLECHAR* pch, UINT ui);
void SysFreeString(BSTR bstrString);
UINT SysStringLen(BSTR bstr);
UINT SysStringByteLen(BSTR bstr);

enum VARENUM : VARTYPE {
    VT_EMPTY = 0,
    VT_NULL = 1,
    VT_I2 = 2,
    VT_I4 = 3,
    VT_R4 = 4,
    VT_R8 = 5,
    VT_CY = 6,
    VT_DATE = 7,
    VT_BSTR = 8,
    VT_DISPATCH = 9,
    VT_ERROR = 10,
    VT_BOOL = 11,
    VT_VARIANT = 12,
    VT_UNKNOWN = 13,
    VT_I1 = 16,
    VT_UI1 = 17,
    VT_UI2 = 18,
    VT_UI4 = 19,
    VT_I8 = 20,
    VT_UI8 = 21,
    VT_INT = 22,
    VT_UINT = 23,
    VT_ARRAY = 0x2000,
    VT_BYREF = 0x4000,
    VT_TYPEMASK = 0x0FFF,
};

struct IDispatch;

struct VARIANT {
    VARTYPE vt;
    WORD wReserved1;
    WORD wReserved2;
    WORD wReserved3;
    union {
        LONGLONG llVal;
        LONG lVal;
        BYTE bVal;
        SHORT iVal;
        float fltVal;
        double dblVal;
        VARIANT_BOOL boolVal;
        SCODE scode;
        LONGLONG cyVal; // currency: the amount times 10000
        DATE date;
        BSTR bstrVal;
        IUnknown* punkVal;
        IDispatch* pdispVal;
        CHAR cVal;
        USHORT uiVal;
        ULONG ulVal;
        ULONGLONG ullVal;
        INT intVal;
        UINT uintVal;
        PVOID byref;
    };
};
using VARIANTARG = VARIANT;
using LPVARIANT = VARIANT*;

#define VARIANT_NOVALUEPROP 0x01
#define VARIANT_ALPHABOOL 0x02
#define VARIANT_NOUSEROVERRIDE 0x04
#define VARIANT_LOCALBOOL 0x10

// VT_EMPTY.
void VariantInit(VARIANTARG* pvarg);
// Frees what the value owns (a BSTR, a reference), then VT_EMPTY. DISP_E_BADVARTYPE for a type that is
// not served (arrays, records), leaving the value as it was. By-reference values own nothing.
HRESULT VariantClear(VARIANTARG* pvarg);
// Clears the destination, then copies: a new BSTR, a new reference.
HRESULT VariantCopy(VARIANTARG* pvargDest, const VARIANTARG* pvargSrc);
// Conversions to VT_BSTR from VT_EMPTY (""), the integer types (decimal), VT_BOOL ("-1" and "0"; "True"
// and "False" with VARIANT_ALPHABOOL or VARIANT_LOCALBOOL) and VT_BSTR; a conversion to the source's own
// type copies. DISP_E_TYPEMISMATCH for every other pair. The destination may be the source.
HRESULT VariantChangeType(VARIANTARG* pvargDest, const VARIANTARG* pvarSrc, USHORT wFlags, VARTYPE vt);

#define DISPID_UNKNOWN (-1)
#define DISPID_VALUE 0
#define DISPID_PROPERTYPUT (-3)
#define MEMBERID_NIL DISPID_UNKNOWN

#define DISPATCH_METHOD 0x1
#define DISPATCH_PROPERTYGET 0x2
#define DISPATCH_PROPERTYPUT 0x4
#define DISPATCH_PROPERTYPUTREF 0x8

struct DISPPARAMS {
    VARIANTARG* rgvarg;
    DISPID* rgdispidNamedArgs;
    UINT cArgs;
    UINT cNamedArgs;
};

struct EXCEPINFO {
    WORD wCode;
    WORD wReserved;
    BSTR bstrSource;
    BSTR bstrDescription;
    BSTR bstrHelpFile;
    DWORD dwHelpContext;
    PVOID pvReserved;
    HRESULT(STDMETHODCALLTYPE* pfnDeferredFillIn)(EXCEPINFO*);
    SCODE scode;
};

// The type description of one interface or class, as far as IDispatch and a caller looking at its
// documentation need it.
struct ITypeInfo : IUnknown {
    // Fills every entry of rgMemId (DISPID_UNKNOWN for a name without a member); DISP_E_UNKNOWNNAME when
    // a name has none.
    STDMETHOD(GetIDsOfNames)(LPOLESTR* rgszNames, UINT cNames, MEMBERID* pMemId) PURE;
    STDMETHOD(Invoke)
    (PVOID pvInstance, MEMBERID memid, WORD wFlags, DISPPARAMS* pDispParams, VARIANT* pVarResult,
     EXCEPINFO* pExcepInfo, UINT* puArgErr) PURE;
    // MEMBERID_NIL describes the type itself: its name and help string. Each output may be NULL.
    STDMETHOD(GetDocumentation)
    (MEMBERID memid, BSTR* pBstrName, BSTR* pBstrDocString, DWORD* pdwHelpContext, BSTR* pBstrHelpFile) PURE;

protected:
    ~ITypeInfo() = default;
};

struct IDispatch : IUnknown {
    STDMETHOD(GetTypeInfoCount)(UINT* pctinfo) PURE;
    STDMETHOD(GetTypeInfo)(UINT iTInfo, LCID lcid, ITypeInfo** ppTInfo) PURE;
    STDMETHOD(GetIDsOfNames)(REFIID riid, LPOLESTR* rgszNames, UINT cNames, LCID lcid, DISPID* rgDispId) PURE;
    STDMETHOD(Invoke)
    (DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags, DISPPARAMS* pDispParams, VARIANT* pVarResult,
     EXCEPINFO* pExcepInfo, UINT* puArgErr) PURE;

protected:
    ~IDispatch() = default;
};
using LPDISPATCH = IDispatch*;

struct ISupportErrorInfo : IUnknown {
    // S_OK when the interface reports errors through error objects, S_FALSE otherwise.
    STDMETHOD(InterfaceSupportsErrorInfo)(REFIID riid) PURE;

protected:
    ~ISupportErrorInfo() = default;
};

extern const IID IID_IDispatch;
extern const IID IID_ITypeInfo;
extern const IID IID_ISupportErrorInfo;
