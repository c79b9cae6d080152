#pragma once
// Type libraries described in C++ instead of a compiled type-library file: the library's identity, its
// interfaces (none with methods of its own), its classes and the libraries it imports. RegisterTypeLibrary
// writes the registry keys that registering a type library writes on the handheld; GetTypeInfoOfGuid
// answers the ITypeInfo that IDispatch needs. The platform provides stdole2.tlb, the library of the
// standard interfaces that every automation library imports.

#include <span>

#include "com/Automation.h"
#include "crt/Types.h"

namespace com {

enum class InterfaceKind {
    Dual,         // derived from IDispatch and callable through its vtable too
    DispatchOnly, // reached through IDispatch only
    Plain,        // a vtable interface outside automation: registering its library writes nothing for it
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
    // The libraries it imports, by file name as importlib names them ("stdole2.tlb").
    std::span<const LPCOLESTR> imports;
};

// stdole2.tlb: "stdole" 2.0, "OLE Automation", {00020430-0000-0000-C000-000000000046}, with IUnknown and
// IDispatch, from which the interfaces of the importing libraries derive.
extern const TypeLibraryDescription kStdOle2TypeLibrary;

// The library that the platform provides under a file name (letter case aside); NULL for any other.
const TypeLibraryDescription* FindProvidedTypeLibrary(LPCOLESTR fileName);

// Writes, under HKEY_CLASSES_ROOT:
//   TypeLib\{libid}\major.minor        default: the help string (the name when it has none)
//     FLAGS                            default: "0"
//     0\win32                          default: fullPath
//     HELPDIR                          default: helpDir ("" when NULL)
//   Interface\{iid} of each interface  default: its name; ProxyStubClsid and ProxyStubClsid32 (the
//                                      automation marshaller); TypeLib: default {libid}, Version
// Versions are written in hex; imported libraries are not registered with it. A library that imports one
// the platform does not provide cannot be loaded: TYPE_E_CANTLOADLIBRARY, and nothing is written.
// Registry failures are returned as HRESULT_FROM_WIN32.
HRESULT RegisterTypeLibrary(const TypeLibraryDescription& library, LPCOLESTR fullPath, LPCOLESTR helpDir);

// The type information of an interface or class of the library; TYPE_E_ELEMENTNOTFOUND for another
// GUID. Its GetIDsOfNames finds no name and its Invoke no member (the interfaces have no methods of their
// own); GetDocumentation(MEMBERID_NIL) gives the name and help string.
HRESULT GetTypeInfoOfGuid(const TypeLibraryDescription& library, REFGUID guid, ITypeInfo** typeInfo);

} // namespace com
