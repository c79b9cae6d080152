#pragma once
// IUnknown and IClassFactory, the method macros of COM interfaces, and GUIDs with their text form.
// Interfaces are C++ classes of pure virtual methods; an object's IUnknown answers QueryInterface with
// S_OK and a counted reference, or E_NOINTERFACE and NULL.

#include <atomic>

#include "com/HResult.h"
#include "crt/Types.h"

#define STDMETHOD(method) virtual HRESULT STDMETHODCALLTYPE method
#define STDMETHOD_(type, method) virtual type STDMETHODCALLTYPE method
#define STDMETHODIMP HRESULT STDMETHODCALLTYPE
#define STDMETHODIMP_(type) type STDMETHODCALLTYPE
#define STDAPI_(type) extern "C" type
#define PURE = 0

using OLECHAR = WCHAR;
using LPOLESTR = OLECHAR*;
using LPCOLESTR = const OLECHAR*;
using LPCLSID = CLSID*;
using LPIID = IID*;
using LPGUID = GUID*;
using LCID = DWORD;

struct IUnknown {
    STDMETHOD(QueryInterface)(REFIID riid, void** ppvObject) PURE;
    STDMETHOD_(ULONG, AddRef)() PURE;
    STDMETHOD_(ULONG, Release)() PURE;

protected:
    ~IUnknown() = default; // objects are destroyed by their own Release
};
using LPUNKNOWN = IUnknown*;

struct IClassFactory : IUnknown {
    // CLASS_E_NOAGGREGATION when pUnkOuter is given and the class does not aggregate.
    STDMETHOD(CreateInstance)(IUnknown* pUnkOuter, REFIID riid, void** ppvObject) PURE;
    // TRUE keeps the server loaded until a matching FALSE, whether or not the factory is still held.
    STDMETHOD(LockServer)(BOOL fLock) PURE;

protected:
    ~IClassFactory() = default;
};
using LPCLASSFACTORY = IClassFactory*;

extern const GUID GUID_NULL;
extern const IID IID_NULL;
extern const CLSID CLSID_NULL;
extern const IID IID_IUnknown;
extern const IID IID_IClassFactory;

inline bool IsEqualGUID(REFGUID a, REFGUID b) {
    return a == b;
}
inline bool IsEqualIID(REFIID a, REFIID b) {
    return a == b;
}
inline bool IsEqualCLSID(REFCLSID a, REFCLSID b) {
    return a == b;
}

// Writes "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" (upper-case hex) and returns 39, the units written with
// the terminator; 0 when cchMax is below 39 or lpsz is NULL.
int StringFromGUID2(REFGUID rguid, LPOLESTR lpsz, int cchMax);
// Reads that form (hex digits of either case). NULL gives CLSID_NULL. CO_E_CLASSSTRING for any other text,
// E_INVALIDARG for a NULL pclsid. ProgIDs are not looked up.
HRESULT CLSIDFromString(LPCOLESTR lpsz, LPCLSID pclsid);

namespace com {

// IUnknown for a heap object that implements one interface (Interface, which derives from the ones
// named by kIids): QueryInterface answers IID_IUnknown and those IIDs with the object's Interface
// pointer, and the last Release deletes the Derived object. The count starts at kInitialReferences.
template <typename Derived, typename Interface, ULONG kInitialReferences, const IID&... kIids>
class HeapUnknown : public Interface {
public:
    STDMETHODIMP QueryInterface(REFIID riid, void** ppvObject) override {
        if (!ppvObject)
            return E_POINTER;
        *ppvObject = nullptr;
        if (riid != IID_IUnknown && ((riid != kIids) && ...))
            return E_NOINTERFACE;
        AddRef();
        *ppvObject = static_cast<Interface*>(this);
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++m_references; }
    STDMETHODIMP_(ULONG) Release() override {
        ULONG references = --m_references;
        if (references == 0)
            delete static_cast<Derived*>(this);
        return references;
    }

protected:
    HeapUnknown() = default;
    ~HeapUnknown() = default;

private:
    std::atomic<ULONG> m_references{kInitialReferences};
};

} // namespace com
