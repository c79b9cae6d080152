#include "RegistryStore.h"

#include <cstring>

#include "ProgramSupport.h"
#include "crt/Utf8.h"
#include "crt/WideString.h"
#include "kernel/Registry.h"

namespace kernel::registry {
namespace {

constexpr std::array<std::string_view, kRootCount> kRootNames = {"HKEY_CLASSES_ROOT", "HKEY_CURRENT_USER",
                                                                 "HKEY_LOCAL_MACHINE"};
constexpr char kHexDigits[] = "0123456789abcdef";

// Reads one line's bytes; every access is checked against the end.
class Cursor {
public:
    explicit Cursor(std::string_view text) : m_text(text) {}
    bool AtEnd() const { return m_position >= m_text.size(); }
    int Peek() const { return AtEnd() ? -1 : static_cast<unsigned char>(m_text[m_position]); }
    bool Take(char c) {
        if (Peek() != static_cast<unsigned char>(c))
            return false;
        ++m_position;
        return true;
    }
    bool TakeWord(std::string_view word) {
        if (m_text.substr(m_position, word.size()) != word)
            return false;
        m_position += word.size();
        return true;
    }
    void Skip(size_t count) { m_position = std::min(m_text.size(), m_position + count); }
    std::string_view Rest() const { return m_text.substr(std::min(m_position, m_text.size())); }

private:
    std::string_view m_text;
    size_t m_position = 0;
};

int HexValue(int c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool IsLoneSurrogate(std::u16string_view text, size_t i) {
    char16_t unit = text[i];
    if (unit >= 0xD800 && unit <= 0xDBFF)
        return i + 1 >= text.size() || text[i + 1] < 0xDC00 || text[i + 1] > 0xDFFF;
    if (unit >= 0xDC00 && unit <= 0xDFFF)
        return i == 0 || text[i - 1] < 0xD800 || text[i - 1] > 0xDBFF;
    return false;
}

void AppendEscaped(std::string& out, std::u16string_view text) {
    size_t runStart = 0;
    auto flush = [&](size_t end) { out += crt::ToWtf8(text.substr(runStart, end - runStart)); };
    for (size_t i = 0; i < text.size(); ++i) {
        char16_t unit = text[i];
        bool escape = unit == u'%' || unit == u'"' || unit < 0x20 || unit == 0x7F || IsLoneSurrogate(text, i);
        if (!escape)
            continue;
        flush(i);
        out.push_back('%');
        for (int shift = 12; shift >= 0; shift -= 4)
            out.push_back(kHexDigits[(unit >> shift) & 0xF]);
        runStart = i + 1;
    }
    flush(text.size());
}

// Reads escaped text up to (not including) a byte in `stops`, or to the end when stops is empty.
std::optional<std::u16string> ReadEscaped(Cursor& cursor, std::string_view stops) {
    std::u16string out;
    std::string run;
    auto flush = [&]() {
        auto wide = crt::FromWtf8(run);
        run.clear();
        if (!wide)
            return false;
        out += *wide;
        return true;
    };
    while (!cursor.AtEnd()) {
        int c = cursor.Peek();
        if (stops.find(static_cast<char>(c)) != std::string_view::npos)
            break;
        if (c < 0x20 || c == 0x7F || c == '"')
            return std::nullopt;
        cursor.Skip(1);
        if (c != '%') {
            run.push_back(static_cast<char>(c));
            continue;
        }
        if (!flush())
            return std::nullopt;
        char16_t unit = 0;
        for (int k = 0; k < 4; ++k) {
            int digit = HexValue(cursor.Peek());
            if (digit < 0)
                return std::nullopt;
            cursor.Skip(1);
            unit = static_cast<char16_t>((unit << 4) | digit);
        }
        out.push_back(unit);
    }
    if (!flush())
        return std::nullopt;
    return out;
}

std::optional<std::u16string> ReadQuoted(Cursor& cursor) {
    if (!cursor.Take('"'))
        return std::nullopt;
    auto text = ReadEscaped(cursor, "\"");
    if (!text || !cursor.Take('"'))
        return std::nullopt;
    return text;
}

std::u16string UnitsOf(const std::vector<BYTE>& data) {
    std::u16string units(data.size() / 2, u'\0');
    if (!units.empty())
        std::memcpy(units.data(), data.data(), units.size() * 2);
    return units;
}

void AppendUnits(std::vector<BYTE>& data, std::u16string_view units) {
    size_t offset = data.size();
    data.resize(offset + units.size() * 2);
    if (!units.empty())
        std::memcpy(data.data() + offset, units.data(), units.size() * 2);
}

// A string value that the sz: form holds exactly: whole units, one terminator at the end and no other.
std::optional<std::u16string> PlainString(const std::vector<BYTE>& data) {
    if (data.size() < 2 || data.size() % 2 != 0)
        return std::nullopt;
    std::u16string units = UnitsOf(data);
    if (units.back() != u'\0')
        return std::nullopt;
    units.pop_back();
    if (units.find(u'\0') != std::u16string::npos)
        return std::nullopt;
    return units;
}

// A string list that the multi_sz: form holds exactly: non-empty strings, each terminated, then one more
// terminator (a lone terminator for the empty list).
std::optional<std::vector<std::u16string>> PlainStringList(const std::vector<BYTE>& data) {
    if (data.size() < 2 || data.size() % 2 != 0)
        return std::nullopt;
    std::u16string units = UnitsOf(data);
    if (units.back() != u'\0')
        return std::nullopt;
    units.pop_back();
    std::vector<std::u16string> strings;
    if (units.empty())
        return strings;
    if (units.back() != u'\0')
        return std::nullopt;
    size_t start = 0;
    while (start < units.size()) {
        size_t end = units.find(u'\0', start);
        if (end == start)
            return std::nullopt;
        strings.emplace_back(units.substr(start, end - start));
        start = end + 1;
    }
    return strings;
}

void AppendValue(std::string& out, const Value& value) {
    out.push_back('"');
    AppendEscaped(out, value.name);
    out += "\"=";
    if (value.type == REG_SZ || value.type == REG_EXPAND_SZ) {
        if (auto text = PlainString(value.data)) {
            out += value.type == REG_SZ ? "sz:\"" : "expand_sz:\"";
            AppendEscaped(out, *text);
            out += "\"\n";
            return;
        }
    }
    if (value.type == REG_MULTI_SZ) {
        if (auto strings = PlainStringList(value.data)) {
            out += "multi_sz:";
            for (size_t i = 0; i < strings->size(); ++i) {
                out += i == 0 ? "\"" : ",\"";
                AppendEscaped(out, (*strings)[i]);
                out.push_back('"');
            }
            out.push_back('\n');
            return;
        }
    }
    if (value.type == REG_DWORD && value.data.size() == 4) {
        DWORD number = 0;
        std::memcpy(&number, value.data.data(), 4);
        out += "dword:";
        for (int shift = 28; shift >= 0; shift -= 4)
            out.push_back(kHexDigits[(number >> shift) & 0xF]);
        out.push_back('\n');
        return;
    }
    out += value.type == REG_BINARY ? "hex:" : "hex(" + std::to_string(value.type) + "):";
    for (size_t i = 0; i < value.data.size(); ++i) {
        if (i != 0)
            out.push_back(',');
        out.push_back(kHexDigits[value.data[i] >> 4]);
        out.push_back(kHexDigits[value.data[i] & 0xF]);
    }
    out.push_back('\n');
}

void AppendKey(std::string& out, std::string& path, const Key& key, bool isRoot) {
    size_t pathLength = path.size();
    if (!isRoot) {
        path.push_back('\\');
        AppendEscaped(path, key.name);
    }
    // Roots are implied; a root's block appears only when it holds values.
    if (!isRoot || !key.values.empty()) {
        out += "\n[" + path + "]\n";
        for (const Value& value : key.values)
            AppendValue(out, value);
    }
    for (const auto& subkey : key.subkeys)
        AppendKey(out, path, *subkey, false);
    path.resize(pathLength);
}

std::optional<std::vector<BYTE>> ReadHexBytes(Cursor& cursor) {
    std::vector<BYTE> bytes;
    if (cursor.AtEnd())
        return bytes;
    for (;;) {
        int high = HexValue(cursor.Peek());
        cursor.Skip(1);
        int low = HexValue(cursor.Peek());
        cursor.Skip(1);
        if (high < 0 || low < 0)
            return std::nullopt;
        bytes.push_back(static_cast<BYTE>(high << 4 | low));
        if (cursor.AtEnd())
            return bytes;
        if (!cursor.Take(','))
            return std::nullopt;
    }
}

std::optional<Value> ParseValue(std::string_view line) {
    Cursor cursor(line);
    Value value;
    auto name = ReadQuoted(cursor);
    if (!name || !cursor.Take('='))
        return std::nullopt;
    value.name = std::move(*name);
    bool plain = cursor.TakeWord("sz:");
    if (plain || cursor.TakeWord("expand_sz:")) {
        value.type = plain ? REG_SZ : REG_EXPAND_SZ;
        auto text = ReadQuoted(cursor);
        if (!text || !cursor.AtEnd())
            return std::nullopt;
        AppendUnits(value.data, *text);
        AppendUnits(value.data, std::u16string_view(u"\0", 1));
        return value;
    }
    if (cursor.TakeWord("multi_sz:")) {
        value.type = REG_MULTI_SZ;
        while (!cursor.AtEnd()) {
            if (!value.data.empty() && !cursor.Take(','))
                return std::nullopt;
            auto text = ReadQuoted(cursor);
            if (!text || text->empty())
                return std::nullopt;
            AppendUnits(value.data, *text);
            AppendUnits(value.data, std::u16string_view(u"\0", 1));
        }
        AppendUnits(value.data, std::u16string_view(u"\0", 1));
        return value;
    }
    if (cursor.TakeWord("dword:")) {
        std::string_view digits = cursor.Rest();
        if (digits.size() != 8)
            return std::nullopt;
        DWORD number = 0;
        for (char c : digits) {
            int digit = HexValue(static_cast<unsigned char>(c));
            if (digit < 0)
                return std::nullopt;
            number = number << 4 | static_cast<DWORD>(digit);
        }
        value.type = REG_DWORD;
        value.data.resize(4);
        std::memcpy(value.data.data(), &number, 4);
        return value;
    }
    if (cursor.TakeWord("hex:")) {
        value.type = REG_BINARY;
    } else if (cursor.TakeWord("hex(")) {
        unsigned long long type = 0;
        size_t digits = 0;
        while (cursor.Peek() >= '0' && cursor.Peek() <= '9' && digits < 10) {
            type = type * 10 + static_cast<unsigned>(cursor.Peek() - '0');
            cursor.Skip(1);
            ++digits;
        }
        if (digits == 0 || type > 0xFFFFFFFFull || !cursor.TakeWord("):"))
            return std::nullopt;
        value.type = static_cast<DWORD>(type);
    } else {
        return std::nullopt;
    }
    auto bytes = ReadHexBytes(cursor);
    if (!bytes)
        return std::nullopt;
    value.data = std::move(*bytes);
    return value;
}

// The key of a "[ROOT\a\b]" line, created with the keys above it when missing.
Key* ParseKeyLine(Tree& tree, std::string_view line) {
    if (line.size() < 2 || line.front() != '[' || line.back() != ']')
        return nullptr;
    Cursor cursor(line.substr(1, line.size() - 2));
    Key* key = nullptr;
    for (size_t i = 0; i < kRootCount && !key; ++i) {
        Cursor attempt = cursor;
        if (attempt.TakeWord(kRootNames[i]) && (attempt.AtEnd() || attempt.Peek() == '\\')) {
            key = &tree.roots[i];
            cursor = attempt;
        }
    }
    if (!key)
        return nullptr;
    while (cursor.Take('\\')) {
        auto name = ReadEscaped(cursor, "\\");
        if (!name || name->empty())
            return nullptr;
        key = &key->SubkeyOrNew(*name, nullptr);
    }
    return cursor.AtEnd() ? key : nullptr;
}

} // namespace

Key* Key::FindSubkey(std::u16string_view wanted) const {
    for (const auto& subkey : subkeys)
        if (crt::EqualsIgnoringCase(subkey->name, wanted))
            return subkey.get();
    return nullptr;
}

Value* Key::FindValue(std::u16string_view wanted) {
    for (Value& value : values)
        if (crt::EqualsIgnoringCase(value.name, wanted))
            return &value;
    return nullptr;
}

Key& Key::SubkeyOrNew(std::u16string_view wanted, bool* created) {
    Key* existing = FindSubkey(wanted);
    if (created)
        *created = existing == nullptr;
    if (existing)
        return *existing;
    subkeys.push_back(std::make_unique<Key>());
    subkeys.back()->name = std::u16string(wanted);
    return *subkeys.back();
}

std::string_view RootName(Root root) {
    return kRootNames[static_cast<size_t>(root)];
}

std::string Serialize(const Tree& tree) {
    std::string out;
    for (size_t i = 0; i < kRootCount; ++i) {
        std::string path(kRootNames[i]);
        AppendKey(out, path, tree.roots[i], true);
    }
    return out;
}

std::optional<Tree> Parse(std::string_view body) {
    Tree tree;
    Key* current = nullptr;
    size_t start = 0;
    while (start < body.size()) {
        size_t end = body.find('\n', start);
        if (end == std::string_view::npos)
            end = body.size();
        std::string_view line = body.substr(start, end - start);
        start = end + 1;
        if (line.empty() || line.front() == ';')
            continue;
        if (line.front() == '[') {
            current = ParseKeyLine(tree, line);
            if (!current)
                return std::nullopt;
            continue;
        }
        auto value = current ? ParseValue(line) : std::nullopt;
        if (!value)
            return std::nullopt;
        if (Value* existing = current->FindValue(value->name))
            *existing = std::move(*value);
        else
            current->values.push_back(std::move(*value));
    }
    return tree;
}

} // namespace kernel::registry
