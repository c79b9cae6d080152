#pragma once
// The registry's tree and its text form. The file is the line "ferrovane-registry 1", then one block per
// key in depth-first order: "[HKEY_LOCAL_MACHINE\Drivers\Builtin]" and one line per value:
//   "Prefix"=sz:"FRV"            REG_SZ (expand_sz: for REG_EXPAND_SZ)
//   "Order"=dword:00000004       REG_DWORD of 4 bytes
//   "Names"=multi_sz:"a","b"     REG_MULTI_SZ
//   "Blob"=hex:01,ff             REG_BINARY; hex(N): for any other type or bytes the forms above cannot hold
// Names and strings are UTF-8; '%', '"', control characters and lone surrogates are written as %XXXX (the
// UTF-16 unit in hexadecimal). Blank lines and lines starting with ';' are ignored.

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "crt/Types.h"

namespace kernel::registry {

enum class Root { ClassesRoot, CurrentUser, LocalMachine };
inline constexpr size_t kRootCount = 3;

struct Value {
    std::u16string name;
    DWORD type = 0;
    std::vector<BYTE> data;
};

struct Key {
    std::u16string name;
    std::vector<Value> values;
    std::vector<std::unique_ptr<Key>> subkeys;

    Key* FindSubkey(std::u16string_view name) const;
    Value* FindValue(std::u16string_view name);
    // The existing subkey of that name, or a new one appended.
    Key& SubkeyOrNew(std::u16string_view name, bool* created);
};

struct Tree {
    std::array<Key, kRootCount> roots;
};

std::string_view RootName(Root root);

// The text after the header line.
std::string Serialize(const Tree& tree);
// nullopt when any line is malformed.
std::optional<Tree> Parse(std::string_view body);

} // namespace kernel::registry
