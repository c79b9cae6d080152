#pragma once
// What the shell reads of the registry's file types: string values and a path's extension.

#include <string>

#include "crt/Types.h"

namespace shell::detail {

// A REG_SZ value of a key (NULL: the key's default value); empty when the key, the value or a string is
// missing.
std::u16string QueryString(HKEY root, const std::u16string& key, const WCHAR* value);
// The extension of a path's last name with its dot (".fvc"); empty when the name has none.
std::u16string ExtensionOf(const std::u16string& path);

} // namespace shell::detail
