#include "com/Registrar.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Internal.h"
#include "crt/WideString.h"
#include "kernel/Errors.h"
#include "kernel/Registry.h"

namespace {

using com::internal::RegistryKey;

// ---- The script as a tree ---------------------------------------------------------------------------

enum class ValueType { String, Dword };

struct ScriptValue {
    ValueType type = ValueType::String;
    std::u16string text;
    DWORD number = 0;
};

enum class KeyRule { Plain, NoRemove, ForceRemove, Delete };

struct ScriptItem {
    bool isValue = false; // a val line, else a key
    KeyRule rule = KeyRule::Plain;
    std::u16string name;
    std::optional<ScriptValue> value; // a val line's value or a key's default value
    std::vector<ScriptItem> children;
};

struct ScriptRoot {
    HKEY key = nullptr;
    std::vector<ScriptItem> items;
};

// ---- Replacement variables --------------------------------------------------------------------------

using Replacements = std::vector<std::pair<std::u16string, std::u16string>>;

std::optional<std::u16string> Preprocess(std::u16string_view script, const Replacements& replacements) {
    std::u16string result;
    result.reserve(script.size());
    size_t position = 0;
    while (position < script.size()) {
        WCHAR unit = script[position];
        if (unit != u'%') {
            result.push_back(unit);
            ++position;
            continue;
        }
        size_t end = script.find(u'%', position + 1);
        if (end == std::u16string_view::npos)
            return std::nullopt;
        std::u16string_view name = script.substr(position + 1, end - position - 1);
        position = end + 1;
        if (name.empty()) {
            result.push_back(u'%');
            continue;
        }
        const std::u16string* value = nullptr;
        for (const auto& [key, item] : replacements)
            if (crt::EqualsIgnoringCase(key, name))
                value = &item;
        if (!value)
            return std::nullopt;
        for (WCHAR valueUnit : *value) {
            result.push_back(valueUnit);
            if (valueUnit == u'\'')
                result.push_back(u'\'');
        }
    }
    return result;
}

// ---- Tokens and parsing -----------------------------------------------------------------------------

struct Token {
    std::u16string text;
    bool quoted = false;
};

class Parser {
public:
    explicit Parser(std::u16string_view text) : m_text(text) {}

    std::optional<std::vector<ScriptRoot>> ParseScript() {
        std::vector<ScriptRoot> roots;
        for (;;) {
            std::optional<Token> token = Next();
            if (!token)
                return m_failed ? std::nullopt : std::optional(std::move(roots));
            ScriptRoot root;
            root.key = RootKey(*token);
            if (!root.key || !ExpectWord(u"{"))
                return std::nullopt;
            if (!ParseBody(root.items))
                return std::nullopt;
            roots.push_back(std::move(root));
        }
    }

private:
    static bool IsBlank(WCHAR unit) {
        return unit == u' ' || unit == u'\t' || unit == u'\r' || unit == u'\n';
    }

    // The unit at the read position; NUL at the end (a script holds no NUL of its own).
    WCHAR Unit() const { return m_position < m_text.size() ? m_text[m_position] : u'\0'; }
    bool AtEnd() const { return m_position >= m_text.size(); }

    // The next token; nullopt at the end, or with m_failed set for an unterminated quote.
    std::optional<Token> Next() {
        if (m_peeked)
            return std::exchange(m_peeked, std::nullopt);
        while (!AtEnd() && IsBlank(Unit()))
            ++m_position;
        if (AtEnd())
            return std::nullopt;
        Token token;
        if (Unit() != u'\'') {
            while (!AtEnd() && !IsBlank(Unit())) {
                token.text.push_back(Unit());
                ++m_position;
            }
            return token;
        }
        token.quoted = true;
        ++m_position;
        for (;;) {
            if (AtEnd()) {
                m_failed = true;
                return std::nullopt;
            }
            WCHAR unit = Unit();
            ++m_position;
            if (unit != u'\'') {
                token.text.push_back(unit);
            } else if (Unit() == u'\'') {
                token.text.push_back(u'\'');
                ++m_position;
            } else {
                return token;
            }
        }
    }

    std::optional<Token> Peek() {
        if (!m_peeked)
            m_peeked = Next();
        return m_peeked;
    }

    static bool IsWord(const Token& token, std::u16string_view word) {
        return !token.quoted && crt::EqualsIgnoringCase(token.text, word);
    }

    bool ExpectWord(std::u16string_view word) {
        std::optional<Token> token = Next();
        return token && IsWord(*token, word);
    }

    static HKEY RootKey(const Token& token) {
        if (IsWord(token, u"HKCR") || IsWord(token, u"HKEY_CLASSES_ROOT"))
            return HKEY_CLASSES_ROOT;
        if (IsWord(token, u"HKLM") || IsWord(token, u"HKEY_LOCAL_MACHINE"))
            return HKEY_LOCAL_MACHINE;
        if (IsWord(token, u"HKCU") || IsWord(token, u"HKEY_CURRENT_USER"))
            return HKEY_CURRENT_USER;
        return nullptr;
    }

    static bool IsStructural(const Token& token) {
        return IsWord(token, u"{") || IsWord(token, u"}") || IsWord(token, u"=");
    }

    // A key or value name: any quoted token, or a word that is no keyword.
    static bool IsName(const Token& token) {
        if (token.quoted)
            return !token.text.empty();
        return !IsStructural(token) && !IsWord(token, u"val") && !IsWord(token, u"NoRemove") &&
               !IsWord(token, u"ForceRemove") && !IsWord(token, u"Delete");
    }

    // '=' type value, the '=' already read.
    std::optional<ScriptValue> ParseValue() {
        std::optional<Token> type = Next();
        std::optional<Token> text = Next();
        if (!type || !text || (!text->quoted && IsStructural(*text)))
            return std::nullopt;
        ScriptValue value;
        if (IsWord(*type, u"s")) {
            value.type = ValueType::String;
            value.text = text->text;
            return value;
        }
        if (IsWord(*type, u"d")) {
            std::optional<DWORD> number = ParseNumber(text->text);
            if (!number)
                return std::nullopt;
            value.type = ValueType::Dword;
            value.number = *number;
            return value;
        }
        return std::nullopt;
    }

    // Decimal or 0x hex; nothing else, and nothing beyond 32 bits.
    static std::optional<DWORD> ParseNumber(std::u16string_view text) {
        unsigned base = 10;
        if (text.size() > 2 && text[0] == u'0' && (text[1] == u'x' || text[1] == u'X')) {
            base = 16;
            text.remove_prefix(2);
        }
        if (text.empty())
            return std::nullopt;
        unsigned long long value = 0;
        for (WCHAR unit : text) {
            unsigned digit = 0;
            if (unit >= u'0' && unit <= u'9')
                digit = unit - u'0';
            else if (base == 16 && unit >= u'a' && unit <= u'f')
                digit = unit - u'a' + 10;
            else if (base == 16 && unit >= u'A' && unit <= u'F')
                digit = unit - u'A' + 10;
            else
                return std::nullopt;
            value = value * base + digit;
            if (value > 0xFFFFFFFFull)
                return std::nullopt;
        }
        return static_cast<DWORD>(value);
    }

    // Items up to and including the closing brace.
    bool ParseBody(std::vector<ScriptItem>& items) {
        for (;;) {
            std::optional<Token> token = Next();
            if (!token)
                return false;
            if (IsWord(*token, u"}"))
                return true;
            ScriptItem item;
            if (IsWord(*token, u"NoRemove"))
                item.rule = KeyRule::NoRemove;
            else if (IsWord(*token, u"ForceRemove"))
                item.rule = KeyRule::ForceRemove;
            else if (IsWord(*token, u"Delete"))
                item.rule = KeyRule::Delete;
            if (item.rule != KeyRule::Plain) {
                token = Next();
                if (!token)
                    return false;
            }
            if (IsWord(*token, u"val")) {
                if (item.rule != KeyRule::Plain && item.rule != KeyRule::NoRemove)
                    return false;
                std::optional<Token> name = Next();
                if (!name || !IsName(*name) || !ExpectWord(u"="))
                    return false;
                item.isValue = true;
                item.name = name->text;
                item.value = ParseValue();
                if (!item.value)
                    return false;
                items.push_back(std::move(item));
                continue;
            }
            if (!IsName(*token))
                return false;
            item.name = token->text;
            std::optional<Token> next = Peek();
            if (next && IsWord(*next, u"=")) {
                Next();
                item.value = ParseValue();
                if (!item.value)
                    return false;
                next = Peek();
            }
            if (next && IsWord(*next, u"{")) {
                Next();
                if (!ParseBody(item.children))
                    return false;
            }
            items.push_back(std::move(item));
        }
    }

    std::u16string_view m_text;
    size_t m_position = 0;
    std::optional<Token> m_peeked;
    bool m_failed = false;
};

// ---- Running the script -----------------------------------------------------------------------------

LONG SetValue(HKEY key, LPCWSTR name, const ScriptValue& value) {
    if (value.type == ValueType::String)
        return com::internal::SetStringValue(key, name, value.text);
    return RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value.number),
                          sizeof(DWORD));
}

bool IsGone(LONG result) {
    return result == ERROR_SUCCESS || result == ERROR_FILE_NOT_FOUND;
}

LONG Register(HKEY parent, const std::vector<ScriptItem>& items) {
    for (const ScriptItem& item : items) {
        if (item.isValue) {
            if (LONG result = SetValue(parent, item.name.c_str(), *item.value); result != ERROR_SUCCESS)
                return result;
            continue;
        }
        if (item.rule == KeyRule::Delete || item.rule == KeyRule::ForceRemove) {
            if (LONG result = RegDeleteKeyW(parent, item.name.c_str()); !IsGone(result))
                return result;
            if (item.rule == KeyRule::Delete)
                continue;
        }
        RegistryKey key;
        if (LONG result = com::internal::CreateKey(parent, item.name, key); result != ERROR_SUCCESS)
            return result;
        if (item.value) {
            if (LONG result = SetValue(key.Get(), nullptr, *item.value); result != ERROR_SUCCESS)
                return result;
        }
        if (LONG result = Register(key.Get(), item.children); result != ERROR_SUCCESS)
            return result;
    }
    return ERROR_SUCCESS;
}

bool HasSubkeys(HKEY key) {
    WCHAR name[256];
    DWORD length = 256;
    return RegEnumKeyExW(key, 0, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_NO_MORE_ITEMS;
}

// Goes on after a failure and returns the first one.
LONG Unregister(HKEY parent, const std::vector<ScriptItem>& items) {
    LONG first = ERROR_SUCCESS;
    auto note = [&](LONG result) {
        if (!IsGone(result) && first == ERROR_SUCCESS)
            first = result;
    };
    for (const ScriptItem& item : items) {
        if (item.isValue) {
            if (item.rule != KeyRule::NoRemove)
                note(RegDeleteValueW(parent, item.name.c_str()));
            continue;
        }
        if (item.rule == KeyRule::Delete)
            continue;
        if (item.rule == KeyRule::ForceRemove) {
            note(RegDeleteKeyW(parent, item.name.c_str()));
            continue;
        }
        RegistryKey key;
        LONG opened = RegOpenKeyExW(parent, item.name.c_str(), 0, KEY_ALL_ACCESS, key.Receive());
        if (opened != ERROR_SUCCESS) {
            note(opened);
            continue;
        }
        note(Unregister(key.Get(), item.children));
        if (item.rule == KeyRule::NoRemove)
            continue;
        bool keep = HasSubkeys(key.Get());
        key = RegistryKey();
        if (!keep)
            note(RegDeleteKeyW(parent, item.name.c_str()));
    }
    return first;
}

} // namespace

HRESULT CRegObject::AddReplacement(LPCOLESTR key, LPCOLESTR item) {
    if (!key || !*key || !item)
        return E_INVALIDARG;
    for (auto& [name, value] : m_replacements) {
        if (crt::EqualsIgnoringCase(name, key)) {
            value = item;
            return S_OK;
        }
    }
    m_replacements.emplace_back(key, item);
    return S_OK;
}

HRESULT CRegObject::ClearReplacements() {
    m_replacements.clear();
    return S_OK;
}

HRESULT CRegObject::StringRegister(LPCOLESTR script) {
    return Run(script, true);
}

HRESULT CRegObject::StringUnregister(LPCOLESTR script) {
    return Run(script, false);
}

HRESULT CRegObject::Run(LPCOLESTR script, bool doRegister) {
    if (!script)
        return E_INVALIDARG;
    std::optional<std::u16string> text = Preprocess(script, m_replacements);
    if (!text)
        return DISP_E_EXCEPTION;
    std::optional<std::vector<ScriptRoot>> roots = Parser(*text).ParseScript();
    if (!roots)
        return DISP_E_EXCEPTION;
    LONG first = ERROR_SUCCESS;
    for (const ScriptRoot& root : *roots) {
        if (doRegister) {
            if (LONG result = Register(root.key, root.items); result != ERROR_SUCCESS)
                return HRESULT_FROM_WIN32(result);
        } else if (LONG result = Unregister(root.key, root.items); result != ERROR_SUCCESS && first == 0) {
            first = result;
        }
    }
    return HRESULT_FROM_WIN32(first);
}
