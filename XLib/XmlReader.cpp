#include "XmlReader.h"

#include <cstdint>
#include <utility>

#include "com/Runtime.h"
#include "crt/Convert.h"
#include "crt/WideString.h"
#include "kernel/Files.h"

namespace {

// One counted reference, released when it goes.
template <typename Interface>
class ComRef {
public:
    ComRef() = default;
    ComRef(const ComRef&) = delete;
    ComRef& operator=(const ComRef&) = delete;
    ~ComRef() { Reset(); }

    Interface* Get() const { return m_pointer; }
    Interface* operator->() const { return m_pointer; }
    explicit operator bool() const { return m_pointer != nullptr; }
    Interface** Receive() {
        Reset();
        return &m_pointer;
    }
    void** ReceiveVoid() { return reinterpret_cast<void**>(Receive()); }
    Interface* Detach() { return std::exchange(m_pointer, nullptr); }
    void Reset() {
        if (m_pointer)
            std::exchange(m_pointer, nullptr)->Release();
    }

private:
    Interface* m_pointer = nullptr;
};

// A VARIANT cleared when it goes.
class Variant {
public:
    Variant() { VariantInit(&m_value); }
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;
    ~Variant() { VariantClear(&m_value); }

    VARIANT* Ptr() { return &m_value; }
    const VARIANT& Get() const { return m_value; }

private:
    VARIANT m_value;
};

// A BSTR freed when it goes.
class Bstr {
public:
    Bstr() = default;
    explicit Bstr(BSTR adopted) : m_text(adopted) {}
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    ~Bstr() { SysFreeString(m_text); }

    BSTR Get() const { return m_text; }
    BSTR* Receive() {
        SysFreeString(std::exchange(m_text, nullptr));
        return &m_text;
    }

private:
    BSTR m_text = nullptr;
};

template <typename Interface>
void ReleaseHeld(Interface*& pointer) {
    if (pointer)
        std::exchange(pointer, nullptr)->Release();
}

// A BSTR's text with its own length: NULL is the empty string.
CString TextOf(BSTR text) {
    return CString(text, static_cast<int>(SysStringLen(text)));
}

} // namespace

// ---- Attribute values ------------------------------------------------------------------------------

int HexDigitValue(WCHAR ch) {
    if (ch >= u'0' && ch <= u'9')
        return ch - u'0';
    if (ch >= u'a' && ch <= u'f')
        return ch - u'a' + 10;
    if (ch >= u'A' && ch <= u'F')
        return ch - u'A' + 10;
    return 0;
}

int ParseIntValue(LPCWSTR text) {
    if (!text)
        return 0;
    // Only a lower-case "0x" starts hexadecimal; "0X1F" reads as the decimal 0.
    if (text[0] == u'0' && text[1] == u'x') {
        uint32_t value = 0;
        for (LPCWSTR digit = text + 2; *digit; ++digit)
            value = (value << 4) | static_cast<uint32_t>(HexDigitValue(*digit));
        return static_cast<int>(value);
    }
    return static_cast<int>(_wtol(text));
}

// ---- CXmlDocument ----------------------------------------------------------------------------------

CXmlDocument::~CXmlDocument() {
    if (m_initialised)
        Uninit(false);
    ReleaseHeld(m_root);
    ReleaseHeld(m_document);
}

bool CXmlDocument::Init() {
    if (m_initialised)
        return false;
    // S_FALSE: the thread is already initialised, which the skin loader meets on every dialog after the
    // first.
    HRESULT hr = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    if (hr != S_OK && hr != S_FALSE)
        return false;
    ComRef<IXMLDOMDocument> document;
    hr = CoCreateInstance(CLSID_DOMDocument, nullptr,
                          CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER | CLSCTX_LOCAL_SERVER |
                              CLSCTX_REMOTE_SERVER,
                          IID_IXMLDOMDocument, document.ReceiveVoid());
    if (FAILED(hr) || !document)
        return false;
    ReleaseHeld(m_document);
    m_document = document.Detach();
    m_initialised = true;
    return true;
}

bool CXmlDocument::Load(LPCWSTR path) {
    if (!m_initialised || m_loaded || !path || !*path)
        return false;
    // Clearing the attributes also proves the file is there before the DOM is asked to read it; a
    // read-only or hidden skin file loses those attributes.
    if (!SetFileAttributesW(path, FILE_ATTRIBUTE_NORMAL))
        return false;
    Variant source;
    source.Ptr()->vt = VT_BSTR;
    source.Ptr()->bstrVal = SysAllocString(path);
    if (!source.Get().bstrVal)
        return false;
    // S_FALSE is a parse error; the success flag says no more than the result.
    VARIANT_BOOL parsed = VARIANT_FALSE;
    if (m_document->load(source.Get(), &parsed) != S_OK)
        return false;
    ComRef<IXMLDOMElement> root;
    if (m_document->get_documentElement(root.Receive()) != S_OK || !root)
        return false;
    ReleaseHeld(m_root);
    m_root = root.Detach();
    m_loaded = true;
    return true;
}

bool CXmlDocument::GetRootElement(CXmlElement& element) const {
    if (!m_root)
        return false;
    return element.Attach(m_root);
}

CXmlElement* CXmlDocument::NewRootElement() const {
    if (!m_root)
        return nullptr;
    auto* element = new CXmlElement;
    if (!element->Attach(m_root)) {
        delete element;
        return nullptr;
    }
    return element;
}

bool CXmlDocument::Close() {
    if (!m_initialised || !m_loaded)
        return false;
    ReleaseHeld(m_root);
    m_loaded = false;
    return true;
}

bool CXmlDocument::Uninit(bool endCom) {
    if (!m_initialised)
        return false;
    if (m_loaded)
        Close();
    ReleaseHeld(m_document);
    if (endCom)
        CoUninitialize();
    m_initialised = false;
    return true;
}

// ---- CXmlElement -----------------------------------------------------------------------------------

CXmlElement::~CXmlElement() {
    ReleaseHeld(m_children);
    ReleaseHeld(m_node);
}

bool CXmlElement::Attach(IXMLDOMNode* node) {
    if (!node)
        return false;
    Bstr name;
    if (node->get_nodeName(name.Receive()) != S_OK)
        return false;
    ComRef<IXMLDOMNodeList> children;
    if (node->get_childNodes(children.Receive()) != S_OK || !children)
        return false;
    long length = 0;
    if (children->get_length(&length) != S_OK)
        return false;
    CString text = TextOf(name.Get());
    // Taken before the old node goes: the new node may be the one held now.
    node->AddRef();
    ReleaseHeld(m_children);
    ReleaseHeld(m_node);
    m_node = node;
    m_children = children.Detach();
    m_name = std::move(text);
    m_childCount = static_cast<int>(length);
    return true;
}

bool CXmlElement::GetChild(int index, CXmlElement& element) const {
    if (!m_node || !m_children || index < 0 || index >= m_childCount)
        return false;
    ComRef<IXMLDOMNode> child;
    if (m_children->get_item(index, child.Receive()) != S_OK || !child)
        return false;
    // Comments, text, CDATA and processing instructions are children but no elements.
    ComRef<IXMLDOMElement> childElement;
    if (FAILED(child->QueryInterface(IID_IXMLDOMElement, childElement.ReceiveVoid())) || !childElement)
        return false;
    return element.Attach(childElement.Get());
}

CXmlElement* CXmlElement::NewChild(int index) const {
    auto* element = new CXmlElement;
    if (!GetChild(index, *element)) {
        delete element;
        return nullptr;
    }
    return element;
}

bool CXmlElement::GetAttribute(LPCWSTR name, CString* text) const {
    if (!text || !name || !m_node)
        return false;
    ComRef<IXMLDOMNamedNodeMap> attributes;
    if (m_node->get_attributes(attributes.Receive()) != S_OK || !attributes)
        return false;
    Bstr key(SysAllocString(name));
    if (!key.Get())
        return false;
    ComRef<IXMLDOMNode> item;
    if (attributes->getNamedItem(key.Get(), item.Receive()) != S_OK || !item)
        return false;
    ComRef<IXMLDOMAttribute> attribute;
    if (FAILED(item->QueryInterface(IID_IXMLDOMAttribute, attribute.ReceiveVoid())) || !attribute)
        return false;
    Variant value;
    if (FAILED(attribute->get_value(value.Ptr())))
        return false;
    if (FAILED(VariantChangeType(value.Ptr(), value.Ptr(), 0, VT_BSTR)))
        return false;
    *text = TextOf(value.Get().bstrVal);
    return true;
}

bool CXmlElement::GetIntAttribute(LPCWSTR name, int* value) const {
    CString text;
    if (!value || !GetAttribute(name, &text))
        return false;
    *value = ParseIntValue(text);
    return true;
}

bool CXmlElement::GetBoolAttribute(LPCWSTR name, bool* value) const {
    CString text;
    if (!value || !GetAttribute(name, &text))
        return false;
    if (_wcsicmp(text, u"true") == 0) {
        *value = true;
        return true;
    }
    if (_wcsicmp(text, u"false") == 0) {
        *value = false;
        return true;
    }
    return false;
}
