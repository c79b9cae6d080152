#include <atomic>
#include <mutex>
#include <new>

#include "Tree.h"
#include "com/BuiltInClasses.h"
#include "crt/WideString.h"

const CLSID CLSID_DOMDocument = {
    0x2933BF90, 0x7B36, 0x11D2, {0xB2, 0x0E, 0x00, 0xC0, 0x4F, 0x98, 0x3E, 0x60}};
const IID IID_IXMLDOMNode = {0x2933BF80, 0x7B36, 0x11D2, {0xB2, 0x0E, 0x00, 0xC0, 0x4F, 0x98, 0x3E, 0x60}};
const IID IID_IXMLDOMDocument = {
    0x2933BF81, 0x7B36, 0x11D2, {0xB2, 0x0E, 0x00, 0xC0, 0x4F, 0x98, 0x3E, 0x60}};
const IID IID_IXMLDOMNodeList = {
    0x2933BF82, 0x7B36, 0x11D2, {0xB2, 0x0E, 0x00, 0xC0, 0x4F, 0x98, 0x3E, 0x60}};
const IID IID_IXMLDOMNamedNodeMap = {
    0x2933BF83, 0x7B36, 0x11D2, {0xB2, 0x0E, 0x00, 0xC0, 0x4F, 0x98, 0x3E, 0x60}};
const IID IID_IXMLDOMAttribute = {
    0x2933BF85, 0x7B36, 0x11D2, {0xB2, 0x0E, 0x00, 0xC0, 0x4F, 0x98, 0x3E, 0x60}};
const IID IID_IXMLDOMElement = {0x2933BF86, 0x7B36, 0x11D2, {0xB2, 0x0E, 0x00, 0xC0, 0x4F, 0x98, 0x3E, 0x60}};

namespace xml {
namespace {

// The document object. It holds one reference to its current tree; loading replaces the tree, and nodes
// that callers still hold keep the old one.
class Document final
    : public com::HeapUnknown<Document, IXMLDOMDocument, 1, IID_IXMLDOMNode, IID_IXMLDOMDocument> {
public:
    explicit Document(TreeRef tree) : m_tree(std::move(tree)) {}

    STDMETHODIMP get_nodeName(BSTR* name) override {
        if (!name)
            return E_INVALIDARG;
        return NewBstr(u"#document", name);
    }
    STDMETHODIMP get_nodeValue(VARIANT* value) override {
        if (!value)
            return E_INVALIDARG;
        VariantInit(value);
        value->vt = VT_NULL;
        return S_FALSE;
    }
    STDMETHODIMP get_nodeType(DOMNodeType* type) override {
        if (!type)
            return E_INVALIDARG;
        *type = NODE_DOCUMENT;
        return S_OK;
    }
    STDMETHODIMP get_childNodes(IXMLDOMNodeList** childList) override {
        std::lock_guard guard(m_lock);
        return m_tree->Document().get_childNodes(childList);
    }
    STDMETHODIMP get_attributes(IXMLDOMNamedNodeMap** attributeMap) override {
        if (!attributeMap)
            return E_INVALIDARG;
        *attributeMap = nullptr;
        return S_FALSE;
    }

    STDMETHODIMP get_documentElement(IXMLDOMElement** documentElement) override {
        if (!documentElement)
            return E_INVALIDARG;
        *documentElement = nullptr;
        std::lock_guard guard(m_lock);
        Node* root = m_tree->DocumentElement();
        if (!root)
            return S_FALSE;
        root->AddRef();
        *documentElement = root;
        return S_OK;
    }

    STDMETHODIMP load(VARIANT xmlSource, VARIANT_BOOL* isSuccessful) override {
        if (isSuccessful)
            *isSuccessful = VARIANT_FALSE;
        if (xmlSource.vt != VT_BSTR)
            return E_INVALIDARG;
        TreeRef parsed;
        HRESULT hr = ParseFile(xmlSource.bstrVal, parsed);
        if (FAILED(hr))
            return hr;
        if (hr == S_FALSE) {
            // A failed load leaves the document empty.
            parsed = TreeRef(Tree::Create());
            if (!parsed)
                return E_OUTOFMEMORY;
        }
        {
            std::lock_guard guard(m_lock);
            std::swap(m_tree, parsed);
        }
        if (hr == S_OK && isSuccessful)
            *isSuccessful = VARIANT_TRUE;
        return hr;
    }

private:
    std::mutex m_lock;
    TreeRef m_tree;
};

class DocumentFactory final : public IClassFactory {
public:
    STDMETHODIMP QueryInterface(REFIID riid, void** ppvObject) override {
        if (!ppvObject)
            return E_POINTER;
        *ppvObject = nullptr;
        if (riid != IID_IUnknown && riid != IID_IClassFactory)
            return E_NOINTERFACE;
        *ppvObject = static_cast<IClassFactory*>(this);
        return S_OK;
    }
    // The factory lives as long as the library.
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }

    STDMETHODIMP CreateInstance(IUnknown* pUnkOuter, REFIID riid, void** ppvObject) override {
        if (!ppvObject)
            return E_POINTER;
        *ppvObject = nullptr;
        if (pUnkOuter)
            return CLASS_E_NOAGGREGATION;
        TreeRef empty(Tree::Create());
        if (!empty)
            return E_OUTOFMEMORY;
        auto* document = new (std::nothrow) Document(std::move(empty));
        if (!document)
            return E_OUTOFMEMORY;
        HRESULT hr = document->QueryInterface(riid, ppvObject);
        document->Release();
        return hr;
    }
    STDMETHODIMP LockServer(BOOL) override { return S_OK; }
};

DocumentFactory g_factory;

HRESULT GetDocumentClassObject(REFCLSID clsid, REFIID riid, void** ppv) {
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    if (clsid != CLSID_DOMDocument)
        return CLASS_E_CLASSNOTAVAILABLE;
    return g_factory.QueryInterface(riid, ppv);
}

// Makes the class known to the run time while the library is loaded.
struct Registration {
    Registration() { com::RegisterBuiltInClass(CLSID_DOMDocument, &GetDocumentClassObject); }
    ~Registration() { com::RevokeBuiltInClass(CLSID_DOMDocument); }
};
Registration g_registration;

} // namespace
} // namespace xml
