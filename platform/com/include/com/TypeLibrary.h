#pragma once
// Type libraries described in C++ instead of a compiled type-library file: the library's identity, its
// dispatch interfaces (none with methods of its own) and its classes. RegisterTypeLibrary writes the
// registry keys that registering a type library writes on the handheld; GetTypeInfoOfGuid answers the
// ITypeInfo that IDispatch needs.

#include <span>

#include "com/Automation.h"
#include "crt/Types.h"

namespace com {

enum class InterfaceKind {
    Dual,         // derived from IDispatch and callable through its vtable too
    DispatchOnly, // reached through IDispatch only
};

struct TypeInterfaceDescription {
    LPCOLESTR name;
    const IID* iid;
    LPCOLESTR helpString;
    InterfaceKind kind;
};

struct TypeClassDescription {
    LPCOLESTR name;
    const CLSID* clsid;
    LPCOLESTR helpString;
    const IID* defaultInterface;
};

struct TypeLibraryDescription {
    LPCOLESTR name;
    const GUID* libid;
    WORD majorVersion;
    WORD minorVersion;
    LPCOLESTR helpString;
    std::span<const TypeInterfaceDescription> interfaces;
    std::span<const TypeClassDescription> classes;
};

// Writes, under HKEY_CLASSES_ROOT:
//   TypeLib\{libid}\major.minor        default: the help string (the name when it has none)
//     FLAGS                            default: "0"
//     0\win32                          default: fullPath
//     HELPDIR                          default: helpDir ("" when NULL)
//   Interface\{iid} of each interface  default: its name; ProxyStubClsid and ProxyStubClsid32 (the
//                                      automation marshaller); TypeLib: default {libid}, Version
// Versions are written in hex. Registry failures are returned as HRESULT_FROM_WIN32.
HRESULT RegisterTypeLibrary(const TypeLibraryDescription& library, LPCOLESTR fullPath, LPCOLESTR helpDir);

// The type information of an interface or class of the library; TYPE_E_ELEMENTNOTFOUND for another
// GUID. Its GetIDsOfNames finds no name and its Invoke no member (the interfaces have no methods of their
// own); GetDocumentation(MEMBERID_NIL) gives the name and help string.
HRESULT GetTypeInfoOfGuid(const TypeLibraryDescription& library, REFGUID guid, ITypeInfo** typeInfo);

} // namespace com
