#include "com/TypeLibrary.h"

#include <atomic>
#include <new>
#include <string>
#include <utility>

#include "Internal.h"
#include "crt/WideString.h"
#include "kernel/Errors.h"
#include "kernel/Registry.h"

namespace {

using com::internal::CreateKey;
using com::internal::GuidText;
using com::internal::RegistryKey;
using com::internal::SetStringValue;

// The automation marshallers that the handheld names for dual and dispatch-only interfaces.
constexpr char16_t kDualProxyStub[] = u"{00020424-0000-0000-C000-000000000046}";
constexpr char16_t kDispatchProxyStub[] = u"{00020420-0000-0000-C000-000000000046}";

std::u16string Hex(unsigned value) {
    static constexpr char16_t kDigits[] = u"0123456789abcdef";
    std::u16string text;
    do {
        text.insert(text.begin(), kDigits[value % 16]);
        value /= 16;
    } while (value != 0);
    return text;
}

// Sets the default value of parent\subKey, creating the key.
LONG SetKeyText(HKEY parent, const std::u16string& subKey, const std::u16string& text) {
    RegistryKey key;
    if (LONG result = CreateKey(parent, subKey, key); result != ERROR_SUCCESS)
        return result;
    return SetStringValue(key.Get(), nullptr, text);
}

LONG RegisterLibrary(const com::TypeLibraryDescription& library, LPCOLESTR fullPath, LPCOLESTR helpDir) {
    std::u16string libid = GuidText(*library.libid);
    std::u16string version = Hex(library.majorVersion) + u"." + Hex(library.minorVersion);
    std::u16string helpString = library.helpString && *library.helpString ? library.helpString : library.name;
    std::u16string versionKey = u"TypeLib\\" + libid + u"\\" + version;
    RegistryKey key;
    if (LONG result = CreateKey(HKEY_CLASSES_ROOT, versionKey, key); result != ERROR_SUCCESS)
        return result;
    if (LONG result = SetStringValue(key.Get(), nullptr, helpString); result != ERROR_SUCCESS)
        return result;
    if (LONG result = SetKeyText(key.Get(), u"FLAGS", u"0"); result != ERROR_SUCCESS)
        return result;
    if (LONG result = SetKeyText(key.Get(), u"0\\win32", fullPath); result != ERROR_SUCCESS)
        return result;
    if (LONG result = SetKeyText(key.Get(), u"HELPDIR", helpDir ? helpDir : u""); result != ERROR_SUCCESS)
        return result;
    for (const com::TypeInterfaceDescription& entry : library.interfaces) {
        if (entry.kind == com::InterfaceKind::Plain)
            continue;
        std::u16string interfaceKey = u"Interface\\" + GuidText(*entry.iid);
        const char16_t* proxyStub =
            entry.kind == com::InterfaceKind::Dual ? kDualProxyStub : kDispatchProxyStub;
        RegistryKey interfaceHandle;
        if (LONG result = CreateKey(HKEY_CLASSES_ROOT, interfaceKey, interfaceHandle);
            result != ERROR_SUCCESS)
            return result;
        if (LONG result = SetStringValue(interfaceHandle.Get(), nullptr, entry.name); result != ERROR_SUCCESS)
            return result;
        for (const char16_t* name : {u"ProxyStubClsid", u"ProxyStubClsid32"})
            if (LONG result = SetKeyText(interfaceHandle.Get(), name, proxyStub); result != ERROR_SUCCESS)
                return result;
        RegistryKey typeLibKey;
        if (LONG result = CreateKey(interfaceHandle.Get(), u"TypeLib", typeLibKey); result != ERROR_SUCCESS)
            return result;
        if (LONG result = SetStringValue(typeLibKey.Get(), nullptr, libid); result != ERROR_SUCCESS)
            return result;
        if (LONG result = SetStringValue(typeLibKey.Get(), u"Version", version); result != ERROR_SUCCESS)
            return result;
    }
    return ERROR_SUCCESS;
}

HRESULT CopyText(LPCOLESTR text, BSTR* out) {
    if (!out)
        return S_OK;
    *out = SysAllocString(text ? text : u"");
    return *out ? S_OK : E_OUTOFMEMORY;
}

// The type information of one interface or class without members of its own.
class TypeInfo final : public com::HeapUnknown<TypeInfo, ITypeInfo, 1, IID_ITypeInfo> {
public:
    TypeInfo(LPCOLESTR name, LPCOLESTR helpString) : m_name(name), m_helpString(helpString) {}

    STDMETHODIMP GetIDsOfNames(LPOLESTR* rgszNames, UINT cNames, MEMBERID* pMemId) override {
        if ((!rgszNames || !pMemId) && cNames > 0)
            return E_INVALIDARG;
        for (UINT i = 0; i < cNames; ++i)
            pMemId[i] = DISPID_UNKNOWN;
        return cNames > 0 ? DISP_E_UNKNOWNNAME : S_OK;
    }
    STDMETHODIMP Invoke(PVOID, MEMBERID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
        return DISP_E_MEMBERNOTFOUND;
    }
    STDMETHODIMP GetDocumentation(MEMBERID memid, BSTR* pBstrName, BSTR* pBstrDocString,
                                  DWORD* pdwHelpContext, BSTR* pBstrHelpFile) override {
        for (BSTR* out : {pBstrName, pBstrDocString, pBstrHelpFile})
            if (out)
                *out = nullptr;
        if (pdwHelpContext)
            *pdwHelpContext = 0;
        if (memid != MEMBERID_NIL)
            return TYPE_E_ELEMENTNOTFOUND;
        if (HRESULT hr = CopyText(m_name, pBstrName); FAILED(hr))
            return hr;
        if (HRESULT hr = CopyText(m_helpString, pBstrDocString); FAILED(hr)) {
            if (pBstrName)
                SysFreeString(std::exchange(*pBstrName, nullptr));
            return hr;
        }
        return S_OK;
    }

private:
    LPCOLESTR m_name;
    LPCOLESTR m_helpString;
};

const GUID kStdOle2Libid = {0x00020430, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const com::TypeInterfaceDescription kStdOle2Interfaces[] = {
    {u"IUnknown", &IID_IUnknown, nullptr, com::InterfaceKind::Plain},
    {u"IDispatch", &IID_IDispatch, nullptr, com::InterfaceKind::Plain},
};

} // namespace

namespace com {

const TypeLibraryDescription kStdOle2TypeLibrary = {u"stdole",         &kStdOle2Libid,     2,  0,
                                                    u"OLE Automation", kStdOle2Interfaces, {}, {}};

const TypeLibraryDescription* FindProvidedTypeLibrary(LPCOLESTR fileName) {
    return fileName && crt::EqualsIgnoringCase(fileName, u"stdole2.tlb") ? &kStdOle2TypeLibrary : nullptr;
}

HRESULT RegisterTypeLibrary(const TypeLibraryDescription& library, LPCOLESTR fullPath, LPCOLESTR helpDir) {
    if (!library.libid || !library.name || !fullPath)
        return E_INVALIDARG;
    for (const TypeInterfaceDescription& entry : library.interfaces)
        if (!entry.iid || !entry.name)
            return E_INVALIDARG;
    for (LPCOLESTR imported : library.imports)
        if (!FindProvidedTypeLibrary(imported))
            return TYPE_E_CANTLOADLIBRARY;
    return HRESULT_FROM_WIN32(RegisterLibrary(library, fullPath, helpDir));
}

HRESULT GetTypeInfoOfGuid(const TypeLibraryDescription& library, REFGUID guid, ITypeInfo** typeInfo) {
    if (!typeInfo)
        return E_INVALIDARG;
    *typeInfo = nullptr;
    LPCOLESTR name = nullptr;
    LPCOLESTR helpString = nullptr;
    for (const TypeInterfaceDescription& entry : library.interfaces) {
        if (!name && entry.iid && *entry.iid == guid) {
            name = entry.name;
            helpString = entry.helpString;
        }
    }
    for (const TypeClassDescription& entry : library.classes) {
        if (!name && entry.clsid && *entry.clsid == guid) {
            name = entry.name;
            helpString = entry.helpString;
        }
    }
    if (!name)
        return TYPE_E_ELEMENTNOTFOUND;
    *typeInfo = new (std::nothrow) TypeInfo(name, helpString);
    return *typeInfo ? S_OK : E_OUTOFMEMORY;
}

} // namespace com
