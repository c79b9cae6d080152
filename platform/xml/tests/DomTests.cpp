#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "com/Runtime.h"
#include "kernel/Files.h"
#include "kernel/Handles.h"
#include "testing/DeviceRootTest.h"
#include "xml/XmlDom.h"

namespace {

// ---- Helpers ----------------------------------------------------------------------------------------

std::string Utf8(std::u16string_view text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        char32_t code = text[i];
        if (code >= 0xD800 && code < 0xDC00 && i + 1 < text.size())
            code = 0x10000 + ((code - 0xD800) << 10) + (text[++i] - 0xDC00);
        if (code < 0x80) {
            out += static_cast<char>(code);
        } else if (code < 0x800) {
            out += static_cast<char>(0xC0 | code >> 6);
            out += static_cast<char>(0x80 | (code & 0x3F));
        } else if (code < 0x10000) {
            out += static_cast<char>(0xE0 | code >> 12);
            out += static_cast<char>(0x80 | (code >> 6 & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | code >> 18);
            out += static_cast<char>(0x80 | (code >> 12 & 0x3F));
            out += static_cast<char>(0x80 | (code >> 6 & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        }
    }
    return out;
}

// Takes a BSTR that the caller must free.
std::string Take(BSTR text) {
    std::string out = Utf8(std::u16string_view(text, SysStringLen(text)));
    SysFreeString(text);
    return out;
}

std::string NameOf(IXMLDOMNode* node) {
    BSTR name = nullptr;
    EXPECT_EQ(node->get_nodeName(&name), S_OK);
    return Take(name);
}

std::string ValueOf(IXMLDOMNode* node) {
    VARIANT value;
    EXPECT_EQ(node->get_nodeValue(&value), S_OK);
    EXPECT_EQ(value.vt, VT_BSTR);
    return value.vt == VT_BSTR ? Take(value.bstrVal) : std::string();
}

// A node written back in a compact form: name[attributes](children), "text", <!--comment-->,
// <![CDATA[data]]>, <?target data?>, <!DOCTYPE name>.
std::string Describe(IXMLDOMNode* node);

std::string DescribeChildren(IXMLDOMNode* node) {
    IXMLDOMNodeList* children = nullptr;
    EXPECT_EQ(node->get_childNodes(&children), S_OK);
    long count = 0;
    EXPECT_EQ(children->get_length(&count), S_OK);
    std::string out;
    for (long i = 0; i < count; ++i) {
        IXMLDOMNode* child = nullptr;
        EXPECT_EQ(children->get_item(i, &child), S_OK);
        out += (i ? " " : "") + Describe(child);
        child->Release();
    }
    children->Release();
    return out;
}

std::string Describe(IXMLDOMNode* node) {
    DOMNodeType type = NODE_INVALID;
    EXPECT_EQ(node->get_nodeType(&type), S_OK);
    switch (type) {
    case NODE_TEXT:
        return "\"" + ValueOf(node) + "\"";
    case NODE_COMMENT:
        return "<!--" + ValueOf(node) + "-->";
    case NODE_CDATA_SECTION:
        return "<![CDATA[" + ValueOf(node) + "]]>";
    case NODE_PROCESSING_INSTRUCTION:
        return "<?" + NameOf(node) + " " + ValueOf(node) + "?>";
    case NODE_DOCUMENT_TYPE:
        return "<!DOCTYPE " + NameOf(node) + ">";
    case NODE_ELEMENT:
        break;
    default:
        return "?";
    }
    std::string out = NameOf(node);
    IXMLDOMNamedNodeMap* attributes = nullptr;
    EXPECT_EQ(node->get_attributes(&attributes), S_OK);
    long count = 0;
    EXPECT_EQ(attributes->get_length(&count), S_OK);
    for (long i = 0; i < count; ++i) {
        IXMLDOMNode* attribute = nullptr;
        EXPECT_EQ(attributes->get_item(i, &attribute), S_OK);
        out += (i ? " " : "[") + NameOf(attribute) + "=\"" + ValueOf(attribute) + "\"";
        attribute->Release();
    }
    attributes->Release();
    if (count)
        out += "]";
    std::string children = DescribeChildren(node);
    return children.empty() ? out : out + "(" + children + ")";
}

template <typename Interface>
Interface* Query(IUnknown* object, REFIID iid) {
    void* answer = nullptr;
    return object->QueryInterface(iid, &answer) == S_OK ? static_cast<Interface*>(answer) : nullptr;
}

// ---- Fixture ----------------------------------------------------------------------------------------

class DomTest : public testing_support::DeviceRootTest {
protected:
    void SetUp() override {
        DeviceRootTest::SetUp();
        ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
        ASSERT_EQ(CoCreateInstance(CLSID_DOMDocument, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER,
                                   IID_IXMLDOMDocument, reinterpret_cast<void**>(&m_document)),
                  S_OK);
        CreateDirectoryW(u"\\skin", nullptr);
    }
    void TearDown() override {
        if (m_document) {
            EXPECT_EQ(m_document->Release(), 0u);
        }
        CoUninitialize();
        DeviceRootTest::TearDown();
    }

    static void WriteFile(const char16_t* path, std::string_view content) {
        HANDLE file = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        DWORD written = 0;
        ASSERT_TRUE(::WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr));
        CloseHandle(file);
    }

    // Loads a device path, answering load's result and its success flag.
    HRESULT LoadPath(const char16_t* path, VARIANT_BOOL* success) {
        VARIANT source;
        VariantInit(&source);
        source.vt = VT_BSTR;
        source.bstrVal = SysAllocString(path);
        HRESULT hr = m_document->load(source, success);
        VariantClear(&source);
        return hr;
    }

    HRESULT Load(std::string_view content, VARIANT_BOOL* success = nullptr) {
        WriteFile(u"\\skin\\form.xml", content);
        return LoadPath(u"\\skin\\form.xml", success);
    }

    std::string DescribeDocument() { return DescribeChildren(m_document); }

    IXMLDOMElement* Root() {
        IXMLDOMElement* root = nullptr;
        EXPECT_EQ(m_document->get_documentElement(&root), S_OK);
        return root;
    }

    IXMLDOMDocument* m_document = nullptr;
};

// ---- Documents that load ----------------------------------------------------------------------------

struct DocumentCase {
    const char* name;
    std::string content;
    std::string tree;
};

TEST_F(DomTest, DocumentsBecomeTreesWithTheDomsRules) {
    const DocumentCase cases[] = {
        {"names keep their prefixes and their case",
         R"(<x:Form xmlns:x="urn:x"><xLayer name="a"/><XLAYER x:name="b"></XLAYER></x:Form>)",
         R"(x:Form[xmlns:x="urn:x"](xLayer[name="a"] XLAYER[x:name="b"]))"},
        {"white space between elements is no child; comments and other text are",
         "<xForm>\n  <!-- first -->\n  <xLayer/>\n  text here\n</xForm>",
         "xForm(<!-- first --> xLayer \"\n  text here\n\")"},
        {"references are expanded in attributes and text",
         R"(<a v="&lt;&gt;&amp;&apos;&quot;&#65;&#x42;&#x1F600;" empty="">x &amp; y</a>)",
         "a[v=\"<>&'\"AB\xF0\x9F\x98\x80\" empty=\"\"](\"x & y\")"},
        {"adjacent text is one node with line ends normalised", "<a>one&#10;two\r\nthree</a>",
         "a(\"one\ntwo\nthree\")"},
        {"attribute values are normalised", "<a v=\"x\ty\nz\"/>", "a[v=\"x y z\"]"},
        {"CDATA sections and instructions are nodes, even blank ones",
         R"(<?xml version="1.0" encoding="UTF-8"?><?skin tool?><a><![CDATA[<raw> ]]><![CDATA[ ]]></a>)",
         R"(<?xml version="1.0" encoding="UTF-8"?> <?skin tool?> a(<![CDATA[<raw> ]]> <![CDATA[ ]]>))"},
        {"comments around the root are children of the document", "<!--before--><a/><!--after-->",
         "<!--before--> a <!--after-->"},
        {"internal entities are expanded", "<!DOCTYPE a [<!ENTITY who \"World\">]><a>Hello &who;</a>",
         "<!DOCTYPE a> a(\"Hello World\")"},
        {"declared encodings are read", "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><a v=\"\xE9\"/>",
         "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?> a[v=\"\xC3\xA9\"]"},
        {"UTF-16 with a byte order mark", std::string("\xFF\xFE<\0a\0/\0>\0", 10), "a"},
    };
    for (const DocumentCase& entry : cases) {
        SCOPED_TRACE(entry.name);
        VARIANT_BOOL success = VARIANT_FALSE;
        ASSERT_EQ(Load(entry.content, &success), S_OK);
        EXPECT_EQ(success, VARIANT_TRUE);
        EXPECT_EQ(DescribeDocument(), entry.tree);
    }
}

TEST_F(DomTest, AttributesAreFoundByTheirExactNameOnly) {
    ASSERT_EQ(Load(R"(<xButton id="1001" caption="A &amp; B" empty=""/>)"), S_OK);
    IXMLDOMElement* root = Root();
    IXMLDOMNamedNodeMap* attributes = nullptr;
    ASSERT_EQ(root->get_attributes(&attributes), S_OK);

    BSTR name = SysAllocString(u"caption");
    IXMLDOMNode* node = nullptr;
    ASSERT_EQ(attributes->getNamedItem(name, &node), S_OK);
    SysFreeString(name);
    IXMLDOMAttribute* attribute = Query<IXMLDOMAttribute>(node, IID_IXMLDOMAttribute);
    ASSERT_NE(attribute, nullptr);
    VARIANT value;
    ASSERT_EQ(attribute->get_value(&value), S_OK);
    ASSERT_EQ(value.vt, VT_BSTR);
    EXPECT_EQ(Take(value.bstrVal), "A & B");
    BSTR attributeName = nullptr;
    ASSERT_EQ(attribute->get_name(&attributeName), S_OK);
    EXPECT_EQ(Take(attributeName), "caption");
    attribute->Release();
    node->Release();

    // An empty attribute is present with empty text.
    ASSERT_EQ(attributes->getNamedItem(const_cast<BSTR>(u"empty"), &node), S_OK);
    EXPECT_EQ(ValueOf(node), "");
    node->Release();

    for (const char16_t* missing : {u"ID", u"captio", u"idx", u""}) {
        node = reinterpret_cast<IXMLDOMNode*>(&node);
        EXPECT_EQ(attributes->getNamedItem(const_cast<BSTR>(missing), &node), S_FALSE);
        EXPECT_EQ(node, nullptr);
    }
    EXPECT_EQ(attributes->getNamedItem(nullptr, &node), E_INVALIDARG);
    EXPECT_EQ(attributes->get_item(3, &node), S_FALSE);
    EXPECT_EQ(node, nullptr);
    attributes->Release();
    root->Release();
}

TEST_F(DomTest, OnlyElementsAreElementsAndListsEndWhereTheyEnd) {
    ASSERT_EQ(Load("<xForm><xLayer/><!--note--><![CDATA[c]]><?pi d?>text</xForm>"), S_OK);
    IXMLDOMElement* root = Root();
    BSTR tagName = nullptr;
    ASSERT_EQ(root->get_tagName(&tagName), S_OK);
    EXPECT_EQ(Take(tagName), "xForm");
    VARIANT value;
    EXPECT_EQ(root->get_nodeValue(&value), S_FALSE);
    EXPECT_EQ(value.vt, VT_NULL);

    IXMLDOMNodeList* children = nullptr;
    ASSERT_EQ(root->get_childNodes(&children), S_OK);
    long count = 0;
    ASSERT_EQ(children->get_length(&count), S_OK);
    ASSERT_EQ(count, 5);
    for (long i = 0; i < count; ++i) {
        IXMLDOMNode* child = nullptr;
        ASSERT_EQ(children->get_item(i, &child), S_OK);
        IXMLDOMElement* element = Query<IXMLDOMElement>(child, IID_IXMLDOMElement);
        EXPECT_EQ(element != nullptr, i == 0) << i;
        if (element)
            element->Release();
        EXPECT_EQ(Query<IXMLDOMAttribute>(child, IID_IXMLDOMAttribute), nullptr);
        IXMLDOMNamedNodeMap* attributes = nullptr;
        EXPECT_EQ(child->get_attributes(&attributes), i == 0 ? S_OK : S_FALSE);
        if (attributes)
            attributes->Release();
        child->Release();
    }
    IXMLDOMNode* child = reinterpret_cast<IXMLDOMNode*>(&child);
    EXPECT_EQ(children->get_item(count, &child), S_FALSE);
    EXPECT_EQ(child, nullptr);
    EXPECT_EQ(children->get_item(-1, &child), S_FALSE);
    EXPECT_EQ(children->get_item(0, nullptr), E_INVALIDARG);
    children->Release();

    // One identity: IUnknown of a node is the same whichever interface it is asked through.
    IUnknown* fromElement = Query<IUnknown>(root, IID_IUnknown);
    IXMLDOMNode* asNode = Query<IXMLDOMNode>(root, IID_IXMLDOMNode);
    IUnknown* fromNode = Query<IUnknown>(asNode, IID_IUnknown);
    EXPECT_EQ(fromElement, fromNode);
    fromElement->Release();
    fromNode->Release();
    asNode->Release();
    root->Release();
}

// ---- Documents that do not load ---------------------------------------------------------------------

TEST_F(DomTest, MalformedFilesAreRefusedAndLeaveTheDocumentEmpty) {
    const char* cases[] = {
        "",
        "<a>",
        "<a></b>",
        "<a x='1' x='2'/>",
        "<a>&unknown;</a>",
        "<a/><b/>",
        "just text",
        "<a>\x01</a>",
        "<a v=\"<\"/>",
        "<a>\xFF</a>",
        "<!DOCTYPE a [<!ENTITY e SYSTEM \"other.xml\">]><a>&e;</a>",
        "<!DOCTYPE a SYSTEM \"a.dtd\"><a>&e;</a>",
        "<!DOCTYPE a [<!ENTITY a \"aaaaaaaaaa\"><!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\">"
        "<!ENTITY c \"&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;\"><!ENTITY d \"&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;\">"
        "<!ENTITY e \"&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;\"><!ENTITY f \"&e;&e;&e;&e;&e;&e;&e;&e;&e;&e;\">"
        "<!ENTITY g \"&f;&f;&f;&f;&f;&f;&f;&f;&f;&f;\"><!ENTITY h \"&g;&g;&g;&g;&g;&g;&g;&g;&g;&g;\">"
        "<!ENTITY i \"&h;&h;&h;&h;&h;&h;&h;&h;&h;&h;\">]><a>&i;</a>",
    };
    for (const char* content : cases) {
        SCOPED_TRACE(content);
        ASSERT_EQ(Load("<good/>"), S_OK);
        VARIANT_BOOL success = VARIANT_TRUE;
        EXPECT_EQ(Load(content, &success), S_FALSE);
        EXPECT_EQ(success, VARIANT_FALSE);
        IXMLDOMElement* root = reinterpret_cast<IXMLDOMElement*>(&root);
        EXPECT_EQ(m_document->get_documentElement(&root), S_FALSE);
        EXPECT_EQ(root, nullptr);
        EXPECT_EQ(DescribeDocument(), "");
    }
}

TEST_F(DomTest, MissingFilesAndOtherSourcesAreNotLoaded) {
    VARIANT_BOOL success = VARIANT_TRUE;
    EXPECT_EQ(LoadPath(u"\\skin\\missing.xml", &success), S_FALSE);
    EXPECT_EQ(success, VARIANT_FALSE);
    EXPECT_EQ(LoadPath(u"\\skin", nullptr), S_FALSE);
    EXPECT_EQ(LoadPath(u"", nullptr), S_FALSE);
    EXPECT_EQ(LoadPath(u"\\skin\\bad|name.xml", nullptr), S_FALSE);

    VARIANT number;
    VariantInit(&number);
    number.vt = VT_I4;
    success = VARIANT_TRUE;
    EXPECT_EQ(m_document->load(number, &success), E_INVALIDARG);
    EXPECT_EQ(success, VARIANT_FALSE);

    // A plain string where the BSTR belongs is read up to its terminator.
    WriteFile(u"\\skin\\plain.xml", "<plain/>");
    VARIANT plain;
    plain.vt = VT_BSTR;
    plain.bstrVal = const_cast<BSTR>(u"\\SKIN\\Plain.xml");
    EXPECT_EQ(m_document->load(plain, nullptr), S_OK);
    EXPECT_EQ(DescribeDocument(), "plain");
}

// ---- Lifetimes --------------------------------------------------------------------------------------

TEST_F(DomTest, NodesOutliveTheirDocumentAndItsNextLoad) {
    ASSERT_EQ(Load(R"(<xForm caption="Ferrovane"><xLayer name="main"/><!--c--></xForm>)"), S_OK);
    IXMLDOMElement* root = Root();
    IXMLDOMNodeList* children = nullptr;
    ASSERT_EQ(root->get_childNodes(&children), S_OK);

    // Another load replaces the document's tree; the old one stays with whoever holds it.
    ASSERT_EQ(Load("<other/>"), S_OK);
    EXPECT_EQ(DescribeDocument(), "other");
    EXPECT_EQ(m_document->Release(), 0u);
    m_document = nullptr;

    EXPECT_EQ(Describe(root), R"(xForm[caption="Ferrovane"](xLayer[name="main"] <!--c-->))");
    IXMLDOMNode* layer = nullptr;
    ASSERT_EQ(children->get_item(0, &layer), S_OK);
    root->Release();
    children->Release();
    EXPECT_EQ(Describe(layer), R"(xLayer[name="main"])");
    EXPECT_EQ(layer->Release(), 0u);
}

TEST_F(DomTest, DeepAndLargeDocumentsLoadAndGoWithoutRecursion) {
    constexpr int kDepth = 100000;
    std::string content;
    for (int i = 0; i < kDepth; ++i)
        content += "<e>";
    for (int i = 0; i < kDepth; ++i)
        content += "</e>";
    ASSERT_EQ(Load(content), S_OK);
    IXMLDOMNode* node = Root();
    int depth = 1;
    for (;;) {
        IXMLDOMNodeList* children = nullptr;
        ASSERT_EQ(node->get_childNodes(&children), S_OK);
        IXMLDOMNode* child = nullptr;
        HRESULT hr = children->get_item(0, &child);
        children->Release();
        node->Release();
        if (hr != S_OK)
            break;
        node = child;
        ++depth;
    }
    EXPECT_EQ(depth, kDepth);
}

TEST_F(DomTest, TheDocumentIsANodeOfItsOwn) {
    ASSERT_EQ(Load("<a/>"), S_OK);
    IXMLDOMNode* node = Query<IXMLDOMNode>(m_document, IID_IXMLDOMNode);
    ASSERT_NE(node, nullptr);
    EXPECT_EQ(NameOf(node), "#document");
    DOMNodeType type = NODE_INVALID;
    EXPECT_EQ(node->get_nodeType(&type), S_OK);
    EXPECT_EQ(type, NODE_DOCUMENT);
    IXMLDOMNamedNodeMap* attributes = nullptr;
    EXPECT_EQ(node->get_attributes(&attributes), S_FALSE);
    EXPECT_EQ(Query<IXMLDOMElement>(node, IID_IXMLDOMElement), nullptr);
    node->Release();

    IUnknown* outer = m_document;
    void* object = &object;
    EXPECT_EQ(CoCreateInstance(CLSID_DOMDocument, outer, CLSCTX_INPROC_SERVER, IID_IUnknown, &object),
              CLASS_E_NOAGGREGATION);
    EXPECT_EQ(object, nullptr);
}

} // namespace
