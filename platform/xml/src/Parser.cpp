#include <expat.h>

#include <cstring>
#include <new>
#include <string>
#include <string_view>
#include <vector>

#include "Tree.h"
#include "crt/Utf8.h"
#include "kernel/Files.h"
#include "kernel/Scoped.h"

namespace xml {
namespace {

constexpr int kReadChunk = 64 * 1024;

// The parser, freed when it goes.
class ExpatParser {
public:
    ExpatParser() : m_parser(XML_ParserCreate(nullptr)) {}
    ExpatParser(const ExpatParser&) = delete;
    ExpatParser& operator=(const ExpatParser&) = delete;
    ~ExpatParser() {
        if (m_parser)
            XML_ParserFree(m_parser);
    }
    XML_Parser Get() const { return m_parser; }

private:
    XML_Parser m_parser;
};

// Expat reports well-formed UTF-8; anything else still decodes, a bad byte as U+FFFD.
void AppendUtf8(std::u16string& out, std::string_view text) {
    for (size_t i = 0; i < text.size();) {
        char32_t code = 0;
        size_t length = crt::DecodeUtf8(text, i, code);
        if (length == 0) {
            out.push_back(u'\xFFFD');
            ++i;
            continue;
        }
        crt::AppendUtf16(out, code);
        i += length;
    }
}

std::u16string FromUtf8(const XML_Char* text) {
    std::u16string out;
    if (text)
        AppendUtf8(out, text);
    return out;
}

bool IsBlank(const std::u16string& text) {
    for (char16_t unit : text)
        if (unit != u' ' && unit != u'\t' && unit != u'\r' && unit != u'\n')
            return false;
    return true;
}

// Builds the tree from expat's events. A handler never lets an exception into expat: running out of
// memory stops the parser instead.
class Builder {
public:
    Builder(XML_Parser parser, Tree& tree) : m_parser(parser), m_tree(tree) {
        m_open.push_back(&tree.Document());
    }

    bool OutOfMemory() const { return m_outOfMemory; }
    bool Refused() const { return m_refused; }

    void Install() {
        XML_SetUserData(m_parser, this);
        XML_SetElementHandler(m_parser, &Builder::OnStart, &Builder::OnEnd);
        XML_SetCharacterDataHandler(m_parser, &Builder::OnText);
        XML_SetCdataSectionHandler(m_parser, &Builder::OnCdataStart, &Builder::OnCdataEnd);
        XML_SetCommentHandler(m_parser, &Builder::OnComment);
        XML_SetProcessingInstructionHandler(m_parser, &Builder::OnInstruction);
        XML_SetXmlDeclHandler(m_parser, &Builder::OnDeclaration);
        XML_SetStartDoctypeDeclHandler(m_parser, &Builder::OnDoctype);
        // Entities that cannot be expanded here make the document unusable rather than silently shorter.
        XML_SetSkippedEntityHandler(m_parser, &Builder::OnSkippedEntity);
        XML_SetExternalEntityRefHandler(m_parser, &Builder::OnExternalEntity);
    }

private:
    static Builder& Of(void* data) { return *static_cast<Builder*>(data); }

    template <typename Action>
    void Guarded(Action action) {
        if (m_outOfMemory || m_refused)
            return;
        try {
            action();
        } catch (const std::bad_alloc&) {
            m_outOfMemory = true;
            XML_StopParser(m_parser, XML_FALSE);
        }
    }

    Node* Append(DOMNodeType type, std::u16string name, std::u16string value) {
        Node* node = m_tree.NewNode(type, std::move(name), std::move(value));
        m_open.back()->AppendChild(node);
        return node;
    }

    // Pending character data becomes a text node unless it is all white space.
    void FlushText() {
        if (!m_text.empty() && !IsBlank(m_text))
            Append(NODE_TEXT, u"#text", std::move(m_text));
        m_text.clear();
    }

    static void XMLCALL OnStart(void* data, const XML_Char* name, const XML_Char** attributes) {
        Builder& self = Of(data);
        self.Guarded([&] {
            self.FlushText();
            Node* element = self.Append(NODE_ELEMENT, FromUtf8(name), u"");
            for (const XML_Char** pair = attributes; pair && pair[0]; pair += 2) {
                Node* attribute = self.m_tree.NewNode(NODE_ATTRIBUTE, FromUtf8(pair[0]), FromUtf8(pair[1]));
                element->AppendAttribute(attribute);
            }
            self.m_open.push_back(element);
        });
    }

    static void XMLCALL OnEnd(void* data, const XML_Char*) {
        Builder& self = Of(data);
        self.Guarded([&] {
            self.FlushText();
            if (self.m_open.size() > 1)
                self.m_open.pop_back();
        });
    }

    static void XMLCALL OnText(void* data, const XML_Char* text, int length) {
        Builder& self = Of(data);
        self.Guarded([&] { AppendUtf8(self.m_text, std::string_view(text, length > 0 ? length : 0)); });
    }

    static void XMLCALL OnCdataStart(void* data) {
        Builder& self = Of(data);
        self.Guarded([&] { self.FlushText(); });
    }

    // A CDATA section is a node even when it is empty or blank.
    static void XMLCALL OnCdataEnd(void* data) {
        Builder& self = Of(data);
        self.Guarded([&] {
            self.Append(NODE_CDATA_SECTION, u"#cdata-section", std::move(self.m_text));
            self.m_text.clear();
        });
    }

    static void XMLCALL OnComment(void* data, const XML_Char* text) {
        Builder& self = Of(data);
        self.Guarded([&] {
            self.FlushText();
            self.Append(NODE_COMMENT, u"#comment", FromUtf8(text));
        });
    }

    static void XMLCALL OnInstruction(void* data, const XML_Char* target, const XML_Char* text) {
        Builder& self = Of(data);
        self.Guarded([&] {
            self.FlushText();
            self.Append(NODE_PROCESSING_INSTRUCTION, FromUtf8(target), FromUtf8(text));
        });
    }

    // The XML declaration is the document's first child, a processing instruction named "xml".
    static void XMLCALL OnDeclaration(void* data, const XML_Char* version, const XML_Char* encoding,
                                      int standalone) {
        Builder& self = Of(data);
        if (!version)
            return;
        self.Guarded([&] {
            std::u16string text = u"version=\"" + FromUtf8(version) + u"\"";
            if (encoding)
                text += u" encoding=\"" + FromUtf8(encoding) + u"\"";
            if (standalone >= 0)
                text += standalone ? u" standalone=\"yes\"" : u" standalone=\"no\"";
            self.Append(NODE_PROCESSING_INSTRUCTION, u"xml", std::move(text));
        });
    }

    static void XMLCALL OnDoctype(void* data, const XML_Char* name, const XML_Char*, const XML_Char*, int) {
        Builder& self = Of(data);
        self.Guarded([&] {
            self.FlushText();
            self.Append(NODE_DOCUMENT_TYPE, FromUtf8(name), u"");
        });
    }

    static void XMLCALL OnSkippedEntity(void* data, const XML_Char*, int) {
        Builder& self = Of(data);
        self.m_refused = true;
        XML_StopParser(self.m_parser, XML_FALSE);
    }

    static int XMLCALL OnExternalEntity(XML_Parser, const XML_Char*, const XML_Char*, const XML_Char*,
                                        const XML_Char*) {
        return XML_STATUS_ERROR;
    }

    XML_Parser m_parser;
    Tree& m_tree;
    std::vector<Node*> m_open; // the document, then each element that is open
    std::u16string m_text;
    bool m_outOfMemory = false;
    bool m_refused = false;
};

} // namespace

HRESULT ParseFile(LPCWSTR path, TreeRef& tree) {
    if (!path || !*path)
        return S_FALSE;
    const kernel::ScopedHandle file(
        CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!file.IsOpen())
        return S_FALSE;
    ExpatParser parser;
    TreeRef built(Tree::Create());
    if (!parser.Get() || !built)
        return E_OUTOFMEMORY;
    try {
        Builder builder(parser.Get(), *built.Get());
        builder.Install();
        bool parsed = false;
        for (;;) {
            void* buffer = XML_GetBuffer(parser.Get(), kReadChunk);
            if (!buffer)
                break;
            DWORD bytesRead = 0;
            if (!ReadFile(file.Get(), buffer, kReadChunk, &bytesRead, nullptr))
                break;
            bool last = bytesRead == 0;
            if (XML_ParseBuffer(parser.Get(), static_cast<int>(bytesRead), last) != XML_STATUS_OK)
                break;
            if (last) {
                parsed = true;
                break;
            }
        }
        if (builder.OutOfMemory() || XML_GetErrorCode(parser.Get()) == XML_ERROR_NO_MEMORY)
            return E_OUTOFMEMORY;
        if (!parsed)
            return S_FALSE;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    tree = std::move(built);
    return S_OK;
}

} // namespace xml
