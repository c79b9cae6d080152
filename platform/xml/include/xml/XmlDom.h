#pragma once
// The XML DOM component: CLSID_DOMDocument, created with CoCreateInstance on an initialised thread. The
// platform serves it as a built-in class from the moment this library is loaded; no registry entry is
// needed.
//
// IXMLDOMDocument::load reads a device file synchronously (expat parses it) and answers S_OK when the
// whole file is well-formed XML, S_FALSE (and an empty document) when the file is missing or malformed.
// The tree follows the handheld's default rules: text of white space only is dropped, adjacent text is one
// node, entity and character references are expanded, CDATA sections, comments and processing
// instructions are nodes of their own, element and attribute names keep their prefixes. The XML
// declaration (a processing instruction named "xml") and a document type declaration are children of the
// document. External entities are never read: a document that needs one is refused.
//
// Every node shares the reference count of its tree: a node that the caller still holds keeps its whole
// tree usable after the document is released or loads another file. The interfaces are not dispatch
// interfaces here; their out parameters are NULL-checked (E_INVALIDARG).

#include "com/Automation.h"
#include "com/Unknown.h"

enum DOMNodeType {
    NODE_INVALID = 0,
    NODE_ELEMENT = 1,
    NODE_ATTRIBUTE = 2,
    NODE_TEXT = 3,
    NODE_CDATA_SECTION = 4,
    NODE_ENTITY_REFERENCE = 5,
    NODE_ENTITY = 6,
    NODE_PROCESSING_INSTRUCTION = 7,
    NODE_COMMENT = 8,
    NODE_DOCUMENT = 9,
    NODE_DOCUMENT_TYPE = 10,
    NODE_DOCUMENT_FRAGMENT = 11,
    NODE_NOTATION = 12,
};

struct IXMLDOMNodeList;
struct IXMLDOMNamedNodeMap;

struct IXMLDOMNode : IUnknown {
    // Elements and attributes: the name as written, prefix included; text "#text", CDATA "#cdata-section",
    // comments "#comment", the document "#document", processing instructions their target.
    STDMETHOD(get_nodeName)(BSTR* name) PURE;
    // VT_BSTR for attributes, text, CDATA, comments and processing instructions (their data); VT_NULL
    // with S_FALSE for elements and documents.
    STDMETHOD(get_nodeValue)(VARIANT* value) PURE;
    STDMETHOD(get_nodeType)(DOMNodeType* type) PURE;
    // Every node has a list, empty for nodes without children.
    STDMETHOD(get_childNodes)(IXMLDOMNodeList** childList) PURE;
    // Elements have a map, possibly empty; other nodes give S_FALSE and NULL.
    STDMETHOD(get_attributes)(IXMLDOMNamedNodeMap** attributeMap) PURE;

protected:
    ~IXMLDOMNode() = default;
};

struct IXMLDOMNodeList : IUnknown {
    // S_FALSE and NULL for an index outside the list.
    STDMETHOD(get_item)(long index, IXMLDOMNode** listItem) PURE;
    STDMETHOD(get_length)(long* listLength) PURE;

protected:
    ~IXMLDOMNodeList() = default;
};

struct IXMLDOMNamedNodeMap : IUnknown {
    // The attribute of that exact name (read up to its terminator, so a plain string does too); S_FALSE
    // and NULL when there is none.
    STDMETHOD(getNamedItem)(BSTR name, IXMLDOMNode** namedItem) PURE;
    // The attributes in document order; S_FALSE and NULL for an index outside the map.
    STDMETHOD(get_item)(long index, IXMLDOMNode** listItem) PURE;
    STDMETHOD(get_length)(long* listLength) PURE;

protected:
    ~IXMLDOMNamedNodeMap() = default;
};

struct IXMLDOMElement : IXMLDOMNode {
    STDMETHOD(get_tagName)(BSTR* tagName) PURE;

protected:
    ~IXMLDOMElement() = default;
};

struct IXMLDOMAttribute : IXMLDOMNode {
    STDMETHOD(get_name)(BSTR* attributeName) PURE;
    // VT_BSTR: the value with its references expanded; an empty attribute gives the empty text.
    STDMETHOD(get_value)(VARIANT* attributeValue) PURE;

protected:
    ~IXMLDOMAttribute() = default;
};

struct IXMLDOMDocument : IXMLDOMNode {
    // S_FALSE and NULL while the document holds no tree.
    STDMETHOD(get_documentElement)(IXMLDOMElement** documentElement) PURE;
    // xmlSource: VT_BSTR holding a device path (E_INVALIDARG for any other type). isSuccessful may be NULL.
    STDMETHOD(load)(VARIANT xmlSource, VARIANT_BOOL* isSuccessful) PURE;

protected:
    ~IXMLDOMDocument() = default;
};

extern const CLSID CLSID_DOMDocument;
extern const IID IID_IXMLDOMNode;
extern const IID IID_IXMLDOMDocument;
extern const IID IID_IXMLDOMNodeList;
extern const IID IID_IXMLDOMNamedNodeMap;
extern const IID IID_IXMLDOMAttribute;
extern const IID IID_IXMLDOMElement;
