#pragma once
// The skin files' reader: CXmlDocument holds the DOM document of one file and its root element;
// CXmlElement wraps one element with its name, its children by index and its attributes as text, integer
// or boolean. Every operation answers success as a bool and writes its outputs only on success.
//
// A CXmlElement holds references of its own: it stays usable after the wrapper or document it was taken
// from is attached elsewhere or closed. One wrapper may be attached again and again; each Attach lets go
// of what it held before.

#include "classlib/String.h"
#include "crt/Types.h"
#include "xml/XmlDom.h"

class CXmlElement;

// The integer rule of skin attributes: "0x" (lower-case x) and hexadecimal digits kept in 32 bits (only
// the last eight count; a character that is no digit counts as 0 and still shifts), otherwise a signed
// decimal number as _wtol reads it (no digits give 0).
int ParseIntValue(LPCWSTR text);
int HexDigitValue(WCHAR ch);

class CXmlDocument {
public:
    CXmlDocument() = default;
    ~CXmlDocument();
    CXmlDocument(const CXmlDocument&) = delete;
    CXmlDocument& operator=(const CXmlDocument&) = delete;

    // Initialises COM on the thread (multithreaded) and makes the DOM document; false when already
    // initialised or when either step fails (COM then stays initialised).
    bool Init();
    // Loads the file: false unless initialised and not loaded, for a NULL or empty path, when the file's
    // attributes cannot be reset to FILE_ATTRIBUTE_NORMAL (a missing file), when the DOM does not answer
    // S_OK (a parse error) or when the document has no root element.
    bool Load(LPCWSTR path);
    bool GetRootElement(CXmlElement& element) const;
    // A new element wrapper on the root that the caller owns; NULL without a root.
    CXmlElement* NewRootElement() const;
    // Lets go of the root; false unless initialised and loaded.
    bool Close();
    // Closes when loaded, lets go of the DOM document, and ends COM on the thread only when endCom is
    // true; false when not initialised.
    bool Uninit(bool endCom);

    bool IsInitialised() const { return m_initialised; }
    bool IsLoaded() const { return m_loaded; }

private:
    bool m_initialised = false;
    bool m_loaded = false;
    IXMLDOMDocument* m_document = nullptr;
    IXMLDOMElement* m_root = nullptr;
};

class CXmlElement {
public:
    CXmlElement() = default;
    ~CXmlElement();
    CXmlElement(const CXmlElement&) = delete;
    CXmlElement& operator=(const CXmlElement&) = delete;

    // Takes the node's name, child list and child count; false (and the wrapper unchanged) when any of
    // them cannot be had.
    bool Attach(IXMLDOMNode* node);
    // The name as written, prefix included; "" for a wrapper that holds nothing.
    LPCWSTR GetName() const { return m_name; }
    // Children of every kind: elements, comments, text that is not only white space.
    int GetChildCount() const { return m_childCount; }
    // Attaches element to child index; false (element untouched) when there is no such child or it is no
    // element.
    bool GetChild(int index, CXmlElement& element) const;
    // A new wrapper on child index that the caller owns, or NULL.
    CXmlElement* NewChild(int index) const;

    // The attribute's value as text with its references expanded; an empty value is present. False for a
    // NULL text, a missing attribute or one whose value cannot be read.
    bool GetAttribute(LPCWSTR name, CString* text) const;
    // ParseIntValue of the text; text that is no number is 0, not an error.
    bool GetIntAttribute(LPCWSTR name, int* value) const;
    // "true" or "false" in any letter case; any other text is false and leaves value untouched.
    bool GetBoolAttribute(LPCWSTR name, bool* value) const;

private:
    IXMLDOMNode* m_node = nullptr;
    IXMLDOMNodeList* m_children = nullptr;
    CString m_name;
    int m_childCount = 0;
};
