#pragma once
// The DOM's tree: every node of one parsed document, owned by the tree and sharing its reference count.

#include <atomic>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "xml/XmlDom.h"

namespace xml {

class Node;
class Tree;

// The child nodes of one node, as a list object.
class ChildList final : public IXMLDOMNodeList {
public:
    explicit ChildList(Node& owner) : m_owner(owner) {}
    STDMETHODIMP QueryInterface(REFIID riid, void** ppvObject) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;
    STDMETHODIMP get_item(long index, IXMLDOMNode** listItem) override;
    STDMETHODIMP get_length(long* listLength) override;

private:
    Node& m_owner;
};

// The attributes of one element, as a map object.
class AttributeMap final : public IXMLDOMNamedNodeMap {
public:
    explicit AttributeMap(Node& owner) : m_owner(owner) {}
    STDMETHODIMP QueryInterface(REFIID riid, void** ppvObject) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;
    STDMETHODIMP getNamedItem(BSTR name, IXMLDOMNode** namedItem) override;
    STDMETHODIMP get_item(long index, IXMLDOMNode** listItem) override;
    STDMETHODIMP get_length(long* listLength) override;

private:
    Node& m_owner;
};

// One node of any type. It answers IXMLDOMElement only as an element and IXMLDOMAttribute only as an
// attribute; its IUnknown and IXMLDOMNode are always the element side.
class Node final : public IXMLDOMElement, public IXMLDOMAttribute {
public:
    Node(Tree& tree, DOMNodeType type, std::u16string name, std::u16string value)
        : m_tree(tree), m_type(type), m_name(std::move(name)), m_value(std::move(value)) {}
    Node(const Node&) = delete;
    Node& operator=(const Node&) = delete;
    ~Node() = default;

    IXMLDOMNode* AsNode() { return static_cast<IXMLDOMElement*>(this); }
    Tree& OwnerTree() { return m_tree; }
    DOMNodeType Type() const { return m_type; }
    const std::u16string& Name() const { return m_name; }
    const std::vector<Node*>& Children() const { return m_children; }
    const std::vector<Node*>& Attributes() const { return m_attributes; }
    void AppendChild(Node* child) { m_children.push_back(child); }
    void AppendAttribute(Node* attribute) { m_attributes.push_back(attribute); }

    STDMETHODIMP QueryInterface(REFIID riid, void** ppvObject) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    STDMETHODIMP get_nodeName(BSTR* name) override;
    STDMETHODIMP get_nodeValue(VARIANT* value) override;
    STDMETHODIMP get_nodeType(DOMNodeType* type) override;
    STDMETHODIMP get_childNodes(IXMLDOMNodeList** childList) override;
    STDMETHODIMP get_attributes(IXMLDOMNamedNodeMap** attributeMap) override;
    STDMETHODIMP get_tagName(BSTR* tagName) override;
    STDMETHODIMP get_name(BSTR* attributeName) override;
    STDMETHODIMP get_value(VARIANT* attributeValue) override;

private:
    Tree& m_tree;
    DOMNodeType m_type;
    std::u16string m_name;
    std::u16string m_value;
    std::vector<Node*> m_children;
    std::vector<Node*> m_attributes;
    ChildList m_childList{*this};
    AttributeMap m_attributeMap{*this};
};

class Tree {
public:
    // A tree holding only its document node, with one reference; nullptr when out of memory.
    static Tree* Create();
    Tree(const Tree&) = delete;
    Tree& operator=(const Tree&) = delete;

    ULONG AddRef() { return ++m_references; }
    ULONG Release();

    // A new node owned by the tree; throws std::bad_alloc when out of memory.
    Node* NewNode(DOMNodeType type, std::u16string name, std::u16string value);
    Node& Document() { return *m_document; }
    // The first element child of the document node, or nullptr.
    Node* DocumentElement();

private:
    Tree() = default;
    ~Tree() = default;

    std::atomic<ULONG> m_references{1};
    std::vector<std::unique_ptr<Node>> m_nodes;
    Node* m_document = nullptr;
};

// One reference to a tree, released when it goes.
class TreeRef {
public:
    TreeRef() = default;
    explicit TreeRef(Tree* adopted) : m_tree(adopted) {}
    TreeRef(TreeRef&& other) noexcept : m_tree(std::exchange(other.m_tree, nullptr)) {}
    TreeRef& operator=(TreeRef&& other) noexcept {
        if (this != &other) {
            Reset();
            m_tree = std::exchange(other.m_tree, nullptr);
        }
        return *this;
    }
    TreeRef(const TreeRef&) = delete;
    TreeRef& operator=(const TreeRef&) = delete;
    ~TreeRef() { Reset(); }

    Tree* Get() const { return m_tree; }
    Tree* operator->() const { return m_tree; }
    explicit operator bool() const { return m_tree != nullptr; }
    void Reset() {
        if (m_tree)
            std::exchange(m_tree, nullptr)->Release();
    }

private:
    Tree* m_tree = nullptr;
};

// Parses a device file into a new tree: S_OK, S_FALSE for a missing, unreadable or malformed file,
// E_OUTOFMEMORY. The tree is set only on S_OK.
HRESULT ParseFile(LPCWSTR path, TreeRef& tree);

// Text helpers shared by the DOM's files.
HRESULT NewBstr(const std::u16string& text, BSTR* out);

} // namespace xml
