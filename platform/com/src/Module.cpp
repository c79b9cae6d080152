#include <atomic>
#include <cstring>
#include <new>
#include <string>
#include <string_view>

#include "com/Server.h"
#include "kernel/Errors.h"
#include "kernel/Modules.h"
#include "kernel/Resources.h"

namespace {

// The class object of one class of a module; it holds a lock on the module while it is referenced.
class ClassFactory final : public com::HeapUnknown<ClassFactory, IClassFactory, 0, IID_IClassFactory> {
public:
    ClassFactory(CComModule& module, const ObjectMapEntry& entry) : m_module(module), m_entry(entry) {
        m_module.Lock();
    }
    ClassFactory(const ClassFactory&) = delete;
    ClassFactory& operator=(const ClassFactory&) = delete;
    ~ClassFactory() { m_module.Unlock(); }

    STDMETHODIMP CreateInstance(IUnknown* pUnkOuter, REFIID riid, void** ppvObject) override {
        return m_entry.pfnCreateInstance(m_module, pUnkOuter, riid, ppvObject);
    }
    STDMETHODIMP LockServer(BOOL fLock) override {
        if (fLock)
            m_module.Lock();
        else
            m_module.Unlock();
        return S_OK;
    }

private:
    CComModule& m_module;
    const ObjectMapEntry& m_entry;
};

std::u16string ModulePath(HINSTANCE instance) {
    WCHAR path[MAX_PATH] = {};
    DWORD length = GetModuleFileNameW(instance, path, MAX_PATH);
    return length > 0 && length < MAX_PATH ? std::u16string(path, length) : std::u16string();
}

} // namespace

HRESULT CComModule::Init(const ObjectMapEntry* objectMap, HINSTANCE instance,
                         const com::TypeLibraryDescription* typeLibrary) {
    m_objectMap = objectMap;
    m_instance = instance;
    m_typeLibrary = typeLibrary;
    return S_OK;
}

void CComModule::Term() {
    m_objectMap = nullptr;
}

LONG CComModule::Lock() {
    return ++m_lockCount;
}

LONG CComModule::Unlock() {
    return --m_lockCount;
}

LONG CComModule::GetLockCount() const {
    return m_lockCount;
}

HRESULT CComModule::GetClassObject(REFCLSID rclsid, REFIID riid, LPVOID* ppv) {
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    for (const ObjectMapEntry* entry = m_objectMap; entry && entry->pclsid; ++entry) {
        if (*entry->pclsid != rclsid)
            continue;
        auto* factory = new (std::nothrow) ClassFactory(*this, *entry);
        if (!factory)
            return E_OUTOFMEMORY;
        factory->AddRef();
        HRESULT hr = factory->QueryInterface(riid, ppv);
        factory->Release();
        return hr;
    }
    return CLASS_E_CLASSNOTAVAILABLE;
}

HRESULT CComModule::RegisterServer(BOOL bRegTypeLib, const CLSID* pclsid) {
    for (const ObjectMapEntry* entry = m_objectMap; entry && entry->pclsid; ++entry) {
        if (pclsid && *pclsid != *entry->pclsid)
            continue;
        if (HRESULT hr = entry->pfnUpdateRegistry(*this, TRUE); FAILED(hr))
            return hr;
    }
    if (!bRegTypeLib)
        return S_OK;
    if (!m_typeLibrary)
        return TYPE_E_CANTLOADLIBRARY;
    std::u16string path = ModulePath(m_instance);
    size_t slash = path.rfind(u'\\');
    std::u16string folder = slash == std::u16string::npos ? std::u16string() : path.substr(0, slash);
    return com::RegisterTypeLibrary(*m_typeLibrary, path.c_str(), folder.c_str());
}

HRESULT CComModule::UnregisterServer(const CLSID* pclsid) {
    HRESULT first = S_OK;
    for (const ObjectMapEntry* entry = m_objectMap; entry && entry->pclsid; ++entry) {
        if (pclsid && *pclsid != *entry->pclsid)
            continue;
        if (HRESULT hr = entry->pfnUpdateRegistry(*this, FALSE); FAILED(hr) && SUCCEEDED(first))
            first = hr;
    }
    return first;
}

HRESULT CComModule::UpdateRegistryFromScript(LPCOLESTR script, BOOL bRegister,
                                             const RegMapEntry* replacements) {
    CRegObject registrar;
    HRESULT hr = registrar.AddReplacement(u"MODULE", ModulePath(m_instance).c_str());
    for (const RegMapEntry* entry = replacements; SUCCEEDED(hr) && entry && entry->szKey; ++entry)
        hr = registrar.AddReplacement(entry->szKey, entry->szData);
    if (FAILED(hr))
        return hr;
    return bRegister ? registrar.StringRegister(script) : registrar.StringUnregister(script);
}

HRESULT CComModule::UpdateRegistryFromResource(UINT resourceId, BOOL bRegister,
                                               const RegMapEntry* replacements) {
    HRSRC resource = FindResourceW(m_instance, MAKEINTRESOURCE(resourceId), u"REGISTRY");
    HGLOBAL data = resource ? LoadResource(m_instance, resource) : nullptr;
    const void* bytes = data ? LockResource(data) : nullptr;
    if (!bytes)
        return HRESULT_FROM_WIN32(GetLastError());
    DWORD size = SizeofResource(m_instance, resource);
    if (size % sizeof(WCHAR) != 0)
        return E_INVALIDARG;
    // The resource's bytes need not be aligned for WCHAR, nor end with a terminator.
    std::u16string script(size / sizeof(WCHAR), u'\0');
    std::memcpy(script.data(), bytes, size);
    script.resize(std::u16string_view(script.c_str()).size());
    return UpdateRegistryFromScript(script.c_str(), bRegister, replacements);
}
