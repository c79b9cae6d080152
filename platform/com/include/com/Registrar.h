#pragma once
// The registrar: runs registration scripts against the registry, to register or to unregister.
//
// Script grammar (keywords and root names are case-insensitive; tokens are separated by white space; a
// token in single quotes may hold anything, with '' for a quote):
//   script  := { root '{' body '}' }           root: HKCR, HKLM, HKCU or their HKEY_... names
//   body    := { item }
//   item    := [NoRemove] 'val' name '=' value
//            | [NoRemove | ForceRemove | Delete] keyname ['=' value] ['{' body '}']
//   value   := 's' text | 'd' number            number: decimal or 0x hex, 32 bits
// '= value' after a key name sets its default value. Before parsing, %NAME% is replaced by the value of
// the replacement NAME (names are case-insensitive; a quote in a value is doubled so that it stays text
// inside a quoted token) and %% by %.
//
// Register mode creates every key and sets every value; ForceRemove first deletes the key with its whole
// subtree; Delete deletes the key (and ignores its block). Unregister mode works bottom-up: values named
// with val are deleted (unless marked NoRemove), ForceRemove keys go with their whole subtree, a plain
// key is deleted once it has no subkeys left, NoRemove keys stay; Delete does nothing. Keys and values
// that are already gone are no error.
//
// A script is parsed whole before the registry is touched: a syntax error, an unknown replacement or a
// bad number gives DISP_E_EXCEPTION and changes nothing. A registry failure stops a registration where
// it happened and is returned as HRESULT_FROM_WIN32; unregistration goes on and returns the first one.

#include <string>
#include <utility>
#include <vector>

#include "com/Unknown.h"

class CRegObject {
public:
    // E_INVALIDARG for a NULL or empty name or a NULL item; a name given again takes the new item.
    HRESULT AddReplacement(LPCOLESTR key, LPCOLESTR item);
    HRESULT ClearReplacements();

    HRESULT StringRegister(LPCOLESTR script);
    HRESULT StringUnregister(LPCOLESTR script);

private:
    HRESULT Run(LPCOLESTR script, bool doRegister);

    std::vector<std::pair<std::u16string, std::u16string>> m_replacements;
};
