// Loads each input as a skin file and walks every node and attribute of what the DOM made of it.

#include <stdlib.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "com/Runtime.h"
#include "kernel/DeviceRoot.h"
#include "xml/XmlDom.h"

namespace {

void Walk(IXMLDOMNode* root) {
    std::vector<IXMLDOMNode*> pending{root};
    root->AddRef();
    while (!pending.empty()) {
        IXMLDOMNode* node = pending.back();
        pending.pop_back();
        BSTR name = nullptr;
        if (node->get_nodeName(&name) == S_OK)
            SysFreeString(name);
        VARIANT value;
        if (node->get_nodeValue(&value) == S_OK)
            VariantClear(&value);
        IXMLDOMNamedNodeMap* attributes = nullptr;
        if (node->get_attributes(&attributes) == S_OK) {
            long count = 0;
            attributes->get_length(&count);
            for (long i = 0; i < count; ++i) {
                IXMLDOMNode* attribute = nullptr;
                if (attributes->get_item(i, &attribute) != S_OK)
                    continue;
                IXMLDOMAttribute* asAttribute = nullptr;
                if (attribute->QueryInterface(IID_IXMLDOMAttribute, reinterpret_cast<void**>(&asAttribute)) ==
                    S_OK) {
                    if (asAttribute->get_value(&value) == S_OK)
                        VariantClear(&value);
                    asAttribute->Release();
                }
                attribute->Release();
            }
            attributes->Release();
        }
        IXMLDOMNodeList* children = nullptr;
        if (node->get_childNodes(&children) == S_OK) {
            long count = 0;
            children->get_length(&count);
            for (long i = 0; i < count; ++i) {
                IXMLDOMNode* child = nullptr;
                if (children->get_item(i, &child) == S_OK)
                    pending.push_back(child);
            }
            children->Release();
        }
        node->Release();
    }
}

std::filesystem::path g_root;

void RemoveRoot() {
    std::error_code ignored;
    std::filesystem::remove_all(g_root, ignored);
}

} // namespace

// Works in a device root of its own, removed when the run ends.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
    std::string pattern = (std::filesystem::temp_directory_path() / "ferrovane-xmlfuzz-XXXXXX").string();
    if (!::mkdtemp(pattern.data()))
        abort();
    g_root = pattern;
    std::atexit(RemoveRoot);
    kernel::SetDeviceRoot(g_root);
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    {
        std::ofstream file(kernel::ObjectStoreFolder() / "form.xml", std::ios::binary | std::ios::trunc);
        file.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    IXMLDOMDocument* document = nullptr;
    if (CoCreateInstance(CLSID_DOMDocument, nullptr, CLSCTX_INPROC_SERVER, IID_IXMLDOMDocument,
                         reinterpret_cast<void**>(&document)) != S_OK)
        abort();
    VARIANT source;
    VariantInit(&source);
    source.vt = VT_BSTR;
    source.bstrVal = SysAllocString(u"\\form.xml");
    VARIANT_BOOL success = VARIANT_FALSE;
    HRESULT hr = document->load(source, &success);
    VariantClear(&source);
    if ((hr == S_OK) != (success == VARIANT_TRUE) || (hr != S_OK && hr != S_FALSE))
        abort();
    IXMLDOMElement* root = nullptr;
    HRESULT rootResult = document->get_documentElement(&root);
    if ((rootResult == S_OK) != (hr == S_OK))
        abort();
    Walk(document);
    if (root) {
        // The tree stays whole after its document goes.
        document->Release();
        document = nullptr;
        Walk(root);
        root->Release();
    }
    if (document)
        document->Release();
    return 0;
}
