#include "Tree.h"

#include <new>

#include "crt/WideString.h"

namespace xml {
namespace {

HRESULT ItemOf(const std::vector<Node*>& nodes, long index, IXMLDOMNode** item) {
    if (!item)
        return E_INVALIDARG;
    *item = nullptr;
    if (index < 0 || static_cast<unsigned long>(index) >= nodes.size())
        return S_FALSE;
    IXMLDOMNode* node = nodes[static_cast<size_t>(index)]->AsNode();
    node->AddRef();
    *item = node;
    return S_OK;
}

HRESULT LengthOf(const std::vector<Node*>& nodes, long* length) {
    if (!length)
        return E_INVALIDARG;
    *length = static_cast<long>(nodes.size());
    return S_OK;
}

} // namespace

HRESULT NewBstr(const std::u16string& text, BSTR* out) {
    if (text.size() > 0xFFFFFFFFu)
        return E_OUTOFMEMORY;
    *out = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    return *out ? S_OK : E_OUTOFMEMORY;
}

// ---- Tree -------------------------------------------------------------------------------------------

Tree* Tree::Create() {
    auto* tree = new (std::nothrow) Tree;
    if (!tree)
        return nullptr;
    try {
        tree->m_document = tree->NewNode(NODE_DOCUMENT, u"#document", u"");
    } catch (const std::bad_alloc&) {
        delete tree;
        return nullptr;
    }
    return tree;
}

ULONG Tree::Release() {
    ULONG references = --m_references;
    if (references == 0)
        delete this;
    return references;
}

Node* Tree::NewNode(DOMNodeType type, std::u16string name, std::u16string value) {
    auto node = std::make_unique<Node>(*this, type, std::move(name), std::move(value));
    Node* result = node.get();
    m_nodes.push_back(std::move(node));
    return result;
}

Node* Tree::DocumentElement() {
    for (Node* child : m_document->Children())
        if (child->Type() == NODE_ELEMENT)
            return child;
    return nullptr;
}

// ---- Node -------------------------------------------------------------------------------------------

STDMETHODIMP Node::QueryInterface(REFIID riid, void** ppvObject) {
    if (!ppvObject)
        return E_POINTER;
    *ppvObject = nullptr;
    if (riid == IID_IUnknown || riid == IID_IXMLDOMNode)
        *ppvObject = AsNode();
    else if (riid == IID_IXMLDOMElement && m_type == NODE_ELEMENT)
        *ppvObject = static_cast<IXMLDOMElement*>(this);
    else if (riid == IID_IXMLDOMAttribute && m_type == NODE_ATTRIBUTE)
        *ppvObject = static_cast<IXMLDOMAttribute*>(this);
    else
        return E_NOINTERFACE;
    AddRef();
    return S_OK;
}

STDMETHODIMP_(ULONG) Node::AddRef() {
    return m_tree.AddRef();
}

STDMETHODIMP_(ULONG) Node::Release() {
    return m_tree.Release();
}

STDMETHODIMP Node::get_nodeName(BSTR* name) {
    if (!name)
        return E_INVALIDARG;
    return NewBstr(m_name, name);
}

STDMETHODIMP Node::get_nodeValue(VARIANT* value) {
    if (!value)
        return E_INVALIDARG;
    VariantInit(value);
    if (m_type == NODE_ELEMENT || m_type == NODE_DOCUMENT || m_type == NODE_DOCUMENT_TYPE) {
        value->vt = VT_NULL;
        return S_FALSE;
    }
    BSTR text = nullptr;
    if (HRESULT hr = NewBstr(m_value, &text); FAILED(hr))
        return hr;
    value->vt = VT_BSTR;
    value->bstrVal = text;
    return S_OK;
}

STDMETHODIMP Node::get_nodeType(DOMNodeType* type) {
    if (!type)
        return E_INVALIDARG;
    *type = m_type;
    return S_OK;
}

STDMETHODIMP Node::get_childNodes(IXMLDOMNodeList** childList) {
    if (!childList)
        return E_INVALIDARG;
    m_childList.AddRef();
    *childList = &m_childList;
    return S_OK;
}

STDMETHODIMP Node::get_attributes(IXMLDOMNamedNodeMap** attributeMap) {
    if (!attributeMap)
        return E_INVALIDARG;
    *attributeMap = nullptr;
    if (m_type != NODE_ELEMENT)
        return S_FALSE;
    m_attributeMap.AddRef();
    *attributeMap = &m_attributeMap;
    return S_OK;
}

STDMETHODIMP Node::get_tagName(BSTR* tagName) {
    return get_nodeName(tagName);
}

STDMETHODIMP Node::get_name(BSTR* attributeName) {
    return get_nodeName(attributeName);
}

STDMETHODIMP Node::get_value(VARIANT* attributeValue) {
    return get_nodeValue(attributeValue);
}

// ---- ChildList --------------------------------------------------------------------------------------

STDMETHODIMP ChildList::QueryInterface(REFIID riid, void** ppvObject) {
    if (!ppvObject)
        return E_POINTER;
    *ppvObject = nullptr;
    if (riid != IID_IUnknown && riid != IID_IXMLDOMNodeList)
        return E_NOINTERFACE;
    AddRef();
    *ppvObject = static_cast<IXMLDOMNodeList*>(this);
    return S_OK;
}

STDMETHODIMP_(ULONG) ChildList::AddRef() {
    return m_owner.OwnerTree().AddRef();
}

STDMETHODIMP_(ULONG) ChildList::Release() {
    return m_owner.OwnerTree().Release();
}

STDMETHODIMP ChildList::get_item(long index, IXMLDOMNode** listItem) {
    return ItemOf(m_owner.Children(), index, listItem);
}

STDMETHODIMP ChildList::get_length(long* listLength) {
    return LengthOf(m_owner.Children(), listLength);
}

// ---- AttributeMap -----------------------------------------------------------------------------------

STDMETHODIMP AttributeMap::QueryInterface(REFIID riid, void** ppvObject) {
    if (!ppvObject)
        return E_POINTER;
    *ppvObject = nullptr;
    if (riid != IID_IUnknown && riid != IID_IXMLDOMNamedNodeMap)
        return E_NOINTERFACE;
    AddRef();
    *ppvObject = static_cast<IXMLDOMNamedNodeMap*>(this);
    return S_OK;
}

STDMETHODIMP_(ULONG) AttributeMap::AddRef() {
    return m_owner.OwnerTree().AddRef();
}

STDMETHODIMP_(ULONG) AttributeMap::Release() {
    return m_owner.OwnerTree().Release();
}

STDMETHODIMP AttributeMap::getNamedItem(BSTR name, IXMLDOMNode** namedItem) {
    if (!namedItem || !name)
        return E_INVALIDARG;
    *namedItem = nullptr;
    // Read up to the terminator, so that a plain string works as well as a BSTR.
    std::u16string_view wanted(name, wcslen(name));
    for (Node* attribute : m_owner.Attributes()) {
        if (attribute->Name() != wanted)
            continue;
        IXMLDOMNode* answer = attribute->AsNode();
        answer->AddRef();
        *namedItem = answer;
        return S_OK;
    }
    return S_FALSE;
}

STDMETHODIMP AttributeMap::get_item(long index, IXMLDOMNode** listItem) {
    return ItemOf(m_owner.Attributes(), index, listItem);
}

STDMETHODIMP AttributeMap::get_length(long* listLength) {
    return LengthOf(m_owner.Attributes(), listLength);
}

} // namespace xml
