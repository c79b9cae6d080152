#pragma once
// Helpers for in-process COM servers, in the shape of the handheld's template library:
//
//   CComModule g_module;                           // one per server library
//   BEGIN_OBJECT_MAP(g_objectMap)
//   OBJECT_ENTRY(CLSID_Thing, CThing)
//   END_OBJECT_MAP()
//
//   class CThing : public CComObjectRootEx<CComSingleThreadModel>,
//                  public CComCoClass<CThing, &CLSID_Thing>,
//                  public IDispatchImpl<IThing, &IID_IThing, &kTypeLibrary> {
//   public:
//       DECLARE_REGISTRY_RESOURCEID(101)          // or DECLARE_REGISTRY_SCRIPT(text)
//       BEGIN_COM_MAP(CThing)
//       COM_INTERFACE_ENTRY(IThing)               // the first entry also answers IUnknown
//       COM_INTERFACE_ENTRY(IDispatch)
//       END_COM_MAP()
//       HRESULT FinalConstruct();                 // optional; runs after the constructor
//   };
//
// DllMain calls g_module.Init(g_objectMap, module, &kTypeLibrary) on attach and Term() on detach; the
// exports forward to GetClassObject, GetLockCount, RegisterServer and UnregisterServer. Every live object
// and class object, and every LockServer(TRUE), holds one lock on the module, so DllCanUnloadNow can
// answer S_OK exactly when nothing of the server is in use. Objects do not aggregate.
// COM_INTERFACE_ENTRY(I) names the interface's IID as IID_I. A registration script resource has the type
// "REGISTRY" and holds UTF-16 text (a u"..." literal; the terminator is optional), in the module's
// kernel::ResourceTable.

#include <atomic>
#include <new>

#include "com/Automation.h"
#include "com/Registrar.h"
#include "com/TypeLibrary.h"
#include "com/Unknown.h"

class CComModule;

// A replacement variable of a registration script beyond %MODULE%; a table ends with {NULL, NULL}.
struct RegMapEntry {
    LPCOLESTR szKey;
    LPCOLESTR szData;
};

// One class of the server: its CLSID, how it registers and how it is created.
struct ObjectMapEntry {
    const CLSID* pclsid;
    HRESULT (*pfnUpdateRegistry)(CComModule& module, BOOL bRegister);
    HRESULT (*pfnCreateInstance)(CComModule& module, IUnknown* pUnkOuter, REFIID riid, void** ppv);
};

#define BEGIN_OBJECT_MAP(name) static const ObjectMapEntry name[] = {
#define OBJECT_ENTRY(clsid, cls) {&clsid, &cls::UpdateRegistry, &cls::CreateComObject},
#define END_OBJECT_MAP()                                                                                     \
    { nullptr, nullptr, nullptr }                                                                            \
    }                                                                                                        \
    ;

class CComModule {
public:
    // The map must stay valid until Term; the type library is optional.
    HRESULT Init(const ObjectMapEntry* objectMap, HINSTANCE instance,
                 const com::TypeLibraryDescription* typeLibrary = nullptr);
    void Term();

    LONG Lock();
    LONG Unlock();
    LONG GetLockCount() const;
    HINSTANCE GetModuleInstance() const { return m_instance; }

    // A class object (IClassFactory) of a class of the map; CLASS_E_CLASSNOTAVAILABLE for another class.
    HRESULT GetClassObject(REFCLSID rclsid, REFIID riid, LPVOID* ppv);

    // Runs the registration of every class of the map (or of pclsid alone), stopping at the first
    // failure, then registers the type library when bRegTypeLib is set (TYPE_E_CANTLOADLIBRARY when the
    // module has none).
    HRESULT RegisterServer(BOOL bRegTypeLib = FALSE, const CLSID* pclsid = nullptr);
    // Runs the unregistration of every class (or of pclsid alone) and returns the first failure. The type
    // library stays registered.
    HRESULT UnregisterServer(const CLSID* pclsid = nullptr);

    // Runs a registration script with %MODULE% set to the module's device path and the given extra
    // replacements.
    HRESULT UpdateRegistryFromScript(LPCOLESTR script, BOOL bRegister,
                                     const RegMapEntry* replacements = nullptr);
    // The same for the module's REGISTRY resource of that id; a missing resource gives the lookup's error
    // as HRESULT_FROM_WIN32, a resource of an odd number of bytes E_INVALIDARG.
    HRESULT UpdateRegistryFromResource(UINT resourceId, BOOL bRegister,
                                       const RegMapEntry* replacements = nullptr);

private:
    const ObjectMapEntry* m_objectMap = nullptr;
    HINSTANCE m_instance = nullptr;
    const com::TypeLibraryDescription* m_typeLibrary = nullptr;
    std::atomic<LONG> m_lockCount{0};
};

// Reference counting of objects used by one thread at a time, or by several.
struct CComSingleThreadModel {
    using Counter = ULONG;
    static ULONG Increment(Counter& counter) { return ++counter; }
    static ULONG Decrement(Counter& counter) { return --counter; }
};
struct CComMultiThreadModel {
    using Counter = std::atomic<ULONG>;
    static ULONG Increment(Counter& counter) { return ++counter; }
    static ULONG Decrement(Counter& counter) { return --counter; }
};

// The reference count of an object; FinalConstruct and FinalRelease may be replaced by the class.
template <class ThreadModel>
class CComObjectRootEx {
public:
    ULONG InternalAddRef() { return ThreadModel::Increment(m_references); }
    ULONG InternalRelease() { return ThreadModel::Decrement(m_references); }
    HRESULT FinalConstruct() { return S_OK; }
    void FinalRelease() {}

private:
    typename ThreadModel::Counter m_references{0};
};

// The created object: IUnknown over the class's interface map, with a lock on its module for its life.
template <class Base>
class CComObject final : public Base {
public:
    explicit CComObject(CComModule& module) : m_module(module) { m_module.Lock(); }
    CComObject(const CComObject&) = delete;
    CComObject& operator=(const CComObject&) = delete;
    ~CComObject() {
        this->FinalRelease();
        m_module.Unlock();
    }

    STDMETHOD(QueryInterface)(REFIID riid, void** ppvObject) override {
        return this->InternalQueryInterface(riid, ppvObject);
    }
    STDMETHOD_(ULONG, AddRef)() override { return this->InternalAddRef(); }
    STDMETHOD_(ULONG, Release)() override {
        ULONG references = this->InternalRelease();
        if (references == 0)
            delete this;
        return references;
    }

private:
    CComModule& m_module;
};

// Creation of the class through its class object: the constructor, FinalConstruct, then the interface
// asked for; the object is destroyed again when either fails.
template <class T, const CLSID* pclsid>
class CComCoClass {
public:
    static const CLSID& GetObjectCLSID() { return *pclsid; }

    static HRESULT CreateComObject(CComModule& module, IUnknown* pUnkOuter, REFIID riid, void** ppv) {
        if (!ppv)
            return E_POINTER;
        *ppv = nullptr;
        if (pUnkOuter)
            return CLASS_E_NOAGGREGATION;
        auto* object = new (std::nothrow) CComObject<T>(module);
        if (!object)
            return E_OUTOFMEMORY;
        object->InternalAddRef();
        HRESULT hr = object->FinalConstruct();
        if (SUCCEEDED(hr))
            hr = object->QueryInterface(riid, ppv);
        object->Release();
        return hr;
    }
};

#define DECLARE_REGISTRY_SCRIPT(script)                                                                      \
    static HRESULT UpdateRegistry(CComModule& module, BOOL bRegister) {                                      \
        return module.UpdateRegistryFromScript(script, bRegister);                                           \
    }
#define DECLARE_REGISTRY_RESOURCEID(id)                                                                      \
    static HRESULT UpdateRegistry(CComModule& module, BOOL bRegister) {                                      \
        return module.UpdateRegistryFromResource(id, bRegister);                                             \
    }
#define DECLARE_NO_REGISTRY()                                                                                \
    static HRESULT UpdateRegistry(CComModule&, BOOL) {                                                       \
        return S_OK;                                                                                         \
    }

// The interface map: a QueryInterface over the listed interfaces, in order.
#define BEGIN_COM_MAP(cls)                                                                                   \
public:                                                                                                      \
    HRESULT InternalQueryInterface(REFIID riid, void** ppvObject) {                                          \
        if (!ppvObject)                                                                                      \
            return E_POINTER;                                                                                \
        *ppvObject = nullptr;                                                                                \
        bool answersUnknown = riid == IID_IUnknown;
#define COM_INTERFACE_ENTRY_IID(iid, Interface)                                                              \
    if (answersUnknown || riid == iid) {                                                                     \
        Interface* answer = static_cast<Interface*>(this);                                                   \
        answer->AddRef();                                                                                    \
        *ppvObject = answer;                                                                                 \
        return S_OK;                                                                                         \
    }
#define COM_INTERFACE_ENTRY(Interface) COM_INTERFACE_ENTRY_IID(IID_##Interface, Interface)
#define END_COM_MAP()                                                                                        \
    return E_NOINTERFACE;                                                                                    \
    }

// IDispatch of a dual interface, answered from the type library's description.
template <class T, const IID* piid, const com::TypeLibraryDescription* plibrary>
class IDispatchImpl : public T {
public:
    STDMETHOD(GetTypeInfoCount)(UINT* pctinfo) override {
        if (!pctinfo)
            return E_POINTER;
        *pctinfo = 1;
        return S_OK;
    }
    STDMETHOD(GetTypeInfo)(UINT iTInfo, LCID, ITypeInfo** ppTInfo) override {
        if (!ppTInfo)
            return E_POINTER;
        *ppTInfo = nullptr;
        if (iTInfo != 0)
            return DISP_E_BADINDEX;
        return com::GetTypeInfoOfGuid(*plibrary, *piid, ppTInfo);
    }
    STDMETHOD(GetIDsOfNames)(REFIID riid, LPOLESTR* rgszNames, UINT cNames, LCID, DISPID* rgDispId) override {
        if (riid != IID_NULL)
            return DISP_E_UNKNOWNINTERFACE;
        ITypeInfo* typeInfo = nullptr;
        HRESULT hr = com::GetTypeInfoOfGuid(*plibrary, *piid, &typeInfo);
        if (FAILED(hr))
            return hr;
        hr = typeInfo->GetIDsOfNames(rgszNames, cNames, rgDispId);
        typeInfo->Release();
        return hr;
    }
    STDMETHOD(Invoke)
    (DISPID dispIdMember, REFIID riid, LCID, WORD wFlags, DISPPARAMS* pDispParams, VARIANT* pVarResult,
     EXCEPINFO* pExcepInfo, UINT* puArgErr) override {
        if (riid != IID_NULL)
            return DISP_E_UNKNOWNINTERFACE;
        ITypeInfo* typeInfo = nullptr;
        HRESULT hr = com::GetTypeInfoOfGuid(*plibrary, *piid, &typeInfo);
        if (FAILED(hr))
            return hr;
        hr = typeInfo->Invoke(static_cast<T*>(this), dispIdMember, wFlags, pDispParams, pVarResult,
                              pExcepInfo, puArgErr);
        typeInfo->Release();
        return hr;
    }
};
