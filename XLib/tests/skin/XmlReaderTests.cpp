#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <utility>

#include "SkinTestSupport.h"
#include "XmlReader.h"
#include "com/BuiltInClasses.h"
#include "com/Runtime.h"
#include "crt/Utf8.h"
#include "kernel/Files.h"

namespace {

std::string Utf8(LPCWSTR text) {
    return crt::ToUtf8(text ? text : u"");
}

// ---- Integer values ---------------------------------------------------------------------------------

TEST(ParseIntValueTest, HexAfterLowerCaseXElseDecimal) {
    const struct {
        LPCWSTR text;
        int value;
    } cases[] = {
        {u"0x1f", 31},
        {u"0x1F", 31},
        {u"0X1F", 0}, // decimal: stops at the X
        {u"0x", 0},
        {u"0x1G", 16}, // G counts as 0 and still shifts
        {u"0xFFFFFF", 16777215},
        {u"0xFFFFFFFF", -1},
        {u"0x123456789", 0x23456789}, // only the last eight digits stay
        {u"0x00Ff00", 0xFF00},
        {u" 0x1f", 0}, // the prefix must come first
        {u"-5", -5},
        {u"+8", 8},
        {u"12abc", 12},
        {u"abc", 0},
        {u"", 0},
        {u" 7", 7},
        {u"\t-3x", -3},
        {nullptr, 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ParseIntValue(c.text), c.value) << '"' << Utf8(c.text) << '"';
}

TEST(ParseIntValueTest, HexDigitsAndTheirNeighbours) {
    const struct {
        WCHAR ch;
        int value;
    } cases[] = {{u'0', 0}, {u'9', 9}, {u'a', 10}, {u'f', 15}, {u'A', 10}, {u'F', 15}, {u'/', 0},
                 {u':', 0}, {u'`', 0}, {u'g', 0},  {u'@', 0},  {u'G', 0},  {u' ', 0},  {0x0661, 0}};
    for (const auto& c : cases)
        EXPECT_EQ(HexDigitValue(c.ch), c.value) << "unit " << static_cast<int>(c.ch);
}

// ---- A watch on the DOM's class -----------------------------------------------------------------------

// The test program puts its own class object in the DOM's place: it hands every creation on to the
// DOM's, keeps a reference of the last document made so that tests can look inside, and can play a
// DOM that cannot be created.
IClassFactory* g_domFactory = nullptr;
bool g_domMissing = false;
IXMLDOMDocument* g_lastDocument = nullptr;

void ForgetLastDocument() {
    if (g_lastDocument)
        std::exchange(g_lastDocument, nullptr)->Release();
}

class WatchFactory final : public IClassFactory {
public:
    STDMETHODIMP QueryInterface(REFIID riid, void** ppvObject) override {
        *ppvObject = nullptr;
        if (riid != IID_IUnknown && riid != IID_IClassFactory)
            return E_NOINTERFACE;
        *ppvObject = static_cast<IClassFactory*>(this);
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP CreateInstance(IUnknown* pUnkOuter, REFIID riid, void** ppvObject) override {
        HRESULT hr = g_domFactory->CreateInstance(pUnkOuter, riid, ppvObject);
        if (SUCCEEDED(hr)) {
            ForgetLastDocument();
            static_cast<IUnknown*>(*ppvObject)
                ->QueryInterface(IID_IXMLDOMDocument, reinterpret_cast<void**>(&g_lastDocument));
        }
        return hr;
    }
    STDMETHODIMP LockServer(BOOL) override { return S_OK; }
};

WatchFactory g_watch;

HRESULT WatchedClassObject(REFCLSID, REFIID riid, void** ppv) {
    if (g_domMissing) {
        *ppv = nullptr;
        return CLASS_E_CLASSNOTAVAILABLE;
    }
    return g_watch.QueryInterface(riid, ppv);
}

// Whether the thread has COM initialised: asking for a class object tells.
bool ComInitialised() {
    IClassFactory* factory = nullptr;
    HRESULT hr = CoGetClassObject(CLSID_DOMDocument, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory,
                                  reinterpret_cast<void**>(&factory));
    if (factory)
        factory->Release();
    return hr != CO_E_NOTINITIALIZED;
}

// The object's reference count (for a DOM node, that of its whole tree).
ULONG References(IUnknown* object) {
    object->AddRef();
    return object->Release();
}

// ---- Skin files ---------------------------------------------------------------------------------------

// Children of the root: xLayer, a comment, s:xButton, a text and a CDATA section; the white space between
// them is no child.
constexpr std::string_view kForm = R"(<?xml version="1.0" encoding="utf-8"?>
<xForm xmlns:s="urn:skin" caption="Tom &amp; Jerry &lt;&#x41;&#66;&gt;" empty="" width="0x1f"
       height="12abc" yes="TRUE" no="False" mixed="tRuE" blank=" true" one="1" word="yes"
       trailing="false " longer="truer">
  <xLayer name="main"><xButton id="1001"/></xLayer>
  <!-- a comment is a child too -->
  <s:xButton/>
  loose text
  <![CDATA[data]]>
</xForm>
)";

class XmlReaderTest : public skintest::SkinTest {
protected:
    // The watch goes in once per program (a repeated run sets the suite up again).
    static void SetUpTestSuite() {
        if (g_domFactory)
            return;
        CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        ASSERT_EQ(CoGetClassObject(CLSID_DOMDocument, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory,
                                   reinterpret_cast<void**>(&g_domFactory)),
                  S_OK);
        CoUninitialize();
        com::RevokeBuiltInClass(CLSID_DOMDocument);
        ASSERT_TRUE(com::RegisterBuiltInClass(CLSID_DOMDocument, &WatchedClassObject));
    }

    void SetUp() override {
        SkinTest::SetUp();
        EndCom();
        g_domMissing = false;
        WriteDeviceFile(kFormPath, kForm);
    }
    void TearDown() override {
        ForgetLastDocument();
        EndCom();
        SkinTest::TearDown();
    }

    // Every test starts and ends with COM not initialised on the thread.
    static void EndCom() {
        while (ComInitialised())
            CoUninitialize();
    }

    // The root element of kForm, from a document that is gone when the test reads it.
    static void LoadForm(CXmlElement& root) {
        CXmlDocument document;
        ASSERT_TRUE(document.Init());
        ASSERT_TRUE(document.Load(kFormPath));
        ASSERT_TRUE(document.GetRootElement(root));
    }

    static constexpr LPCWSTR kFormPath = u"\\skins\\form.xml";
};

// ---- Elements -----------------------------------------------------------------------------------------

TEST_F(XmlReaderTest, ChildrenOfEveryKindCountButOnlyElementsAreGiven) {
    CXmlElement root;
    LoadForm(root);
    EXPECT_EQ(Utf8(root.GetName()), "xForm");
    EXPECT_EQ(root.GetChildCount(), 5);

    const struct {
        int index;
        const char* name; // nullptr: no element there
        int childCount;
    } cases[] = {{0, "xLayer", 1}, {1, nullptr, 0},  {2, "s:xButton", 0}, {3, nullptr, 0},
                 {4, nullptr, 0},  {-1, nullptr, 0}, {5, nullptr, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.index);
        CXmlElement child;
        ASSERT_TRUE(root.GetChild(0, child)); // a wrapper that already holds the layer
        EXPECT_EQ(root.GetChild(c.index, child), c.name != nullptr);
        EXPECT_EQ(Utf8(child.GetName()), c.name ? c.name : "xLayer");
        EXPECT_EQ(child.GetChildCount(), c.name ? c.childCount : 1);

        CXmlElement* made = root.NewChild(c.index);
        EXPECT_EQ(made != nullptr, c.name != nullptr);
        if (made) {
            EXPECT_EQ(Utf8(made->GetName()), c.name);
        }
        delete made;
    }

    // Grandchildren are reached the same way.
    CXmlElement layer;
    CXmlElement button;
    ASSERT_TRUE(root.GetChild(0, layer));
    ASSERT_TRUE(layer.GetChild(0, button));
    int id = 0;
    EXPECT_TRUE(button.GetIntAttribute(u"id", &id));
    EXPECT_EQ(id, 1001);
}

TEST_F(XmlReaderTest, EmptyWrapperAnswersNothing) {
    CXmlElement empty;
    CXmlElement other;
    CString text(u"kept");
    EXPECT_EQ(Utf8(empty.GetName()), "");
    EXPECT_EQ(empty.GetChildCount(), 0);
    EXPECT_FALSE(empty.GetChild(0, other));
    EXPECT_EQ(empty.NewChild(0), nullptr);
    EXPECT_FALSE(empty.GetAttribute(u"caption", &text));
    EXPECT_FALSE(empty.Attach(nullptr));
    EXPECT_EQ(Utf8(text), "kept");
}

// ---- Attributes ---------------------------------------------------------------------------------------

TEST_F(XmlReaderTest, AttributeTextHasReferencesExpanded) {
    CXmlElement root;
    LoadForm(root);
    const struct {
        LPCWSTR name;
        const char* text; // nullptr: absent
    } cases[] = {
        {u"caption", "Tom & Jerry <AB>"},
        {u"empty", ""}, // present, with empty text
        {u"width", "0x1f"},
        {u"blank", " true"},
        {u"missing", nullptr},
        {u"Caption", nullptr}, // names are case-sensitive
        {u"", nullptr},
        {nullptr, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Utf8(c.name));
        CString text(u"untouched");
        EXPECT_EQ(root.GetAttribute(c.name, &text), c.text != nullptr);
        EXPECT_EQ(Utf8(text), c.text ? c.text : "untouched");
    }
    EXPECT_FALSE(root.GetAttribute(u"caption", nullptr));
}

TEST_F(XmlReaderTest, IntAttributeOfAnyTextAndOnlyWhenPresent) {
    CXmlElement root;
    LoadForm(root);
    const struct {
        LPCWSTR name;
        bool present;
        int value;
    } cases[] = {
        {u"width", true, 31},    {u"height", true, 12},
        {u"empty", true, 0},     {u"caption", true, 0}, // text that is no number is no error
        {u"missing", false, 77},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Utf8(c.name));
        int value = 77;
        EXPECT_EQ(root.GetIntAttribute(c.name, &value), c.present);
        EXPECT_EQ(value, c.value);
    }
    EXPECT_FALSE(root.GetIntAttribute(u"width", nullptr));
}

TEST_F(XmlReaderTest, BoolAttributeIsTrueOrFalseInAnyCaseElseKeepsTheDefault) {
    CXmlElement root;
    LoadForm(root);
    const struct {
        LPCWSTR name;
        bool read;
        bool value;
    } cases[] = {
        {u"yes", true, true},        // TRUE
        {u"no", true, false},        // False
        {u"mixed", true, true},      // tRuE
        {u"blank", false, false},    // " true"
        {u"one", false, false},      // 1
        {u"word", false, false},     // yes
        {u"trailing", false, false}, // "false "
        {u"longer", false, false},   // truer
        {u"empty", false, false},    // ""
        {u"missing", false, false},  // absent
    };
    for (const auto& c : cases) {
        for (bool byDefault : {false, true}) {
            SCOPED_TRACE(Utf8(c.name) + (byDefault ? " default true" : " default false"));
            bool value = byDefault;
            EXPECT_EQ(root.GetBoolAttribute(c.name, &value), c.read);
            EXPECT_EQ(value, c.read ? c.value : byDefault);
        }
    }
    EXPECT_FALSE(root.GetBoolAttribute(u"yes", nullptr));
}

// ---- References ---------------------------------------------------------------------------------------

TEST_F(XmlReaderTest, WrappersOutliveTheirDocument) {
    CXmlElement root;
    CXmlElement layer;
    {
        CXmlDocument document;
        ASSERT_TRUE(document.Init());
        ASSERT_TRUE(document.Load(kFormPath));
        ASSERT_TRUE(document.GetRootElement(root));
        ASSERT_TRUE(root.GetChild(0, layer));
        ASSERT_TRUE(document.Close());
        CXmlElement again;
        EXPECT_FALSE(document.GetRootElement(again));
        EXPECT_EQ(document.NewRootElement(), nullptr);
        ASSERT_TRUE(document.Uninit(true));
    }
    ForgetLastDocument(); // the DOM document itself is gone now

    CXmlElement button;
    ASSERT_TRUE(layer.GetChild(0, button));
    int id = 0;
    EXPECT_TRUE(button.GetIntAttribute(u"id", &id));
    EXPECT_EQ(id, 1001);
    CString caption;
    EXPECT_TRUE(root.GetAttribute(u"caption", &caption));
    EXPECT_EQ(Utf8(caption), "Tom & Jerry <AB>");
}

TEST_F(XmlReaderTest, EveryReferenceTakenIsLetGo) {
    CXmlDocument document;
    ASSERT_TRUE(document.Init());
    ASSERT_TRUE(document.Load(kFormPath));
    IXMLDOMDocument* dom = g_lastDocument;
    ASSERT_NE(dom, nullptr);
    // A node of the loaded tree: its count is the tree's.
    IXMLDOMElement* tree = nullptr;
    ASSERT_EQ(dom->get_documentElement(&tree), S_OK);
    const ULONG loaded = References(tree);
    {
        CXmlElement root;
        ASSERT_TRUE(document.GetRootElement(root));
        const ULONG withRoot = References(tree);
        EXPECT_GT(withRoot, loaded);

        // One wrapper attached again and again holds one element's worth at a time.
        CXmlElement reused;
        ASSERT_TRUE(root.GetChild(0, reused));
        const ULONG withTwo = References(tree);
        for (int index = -1; index <= root.GetChildCount(); ++index)
            root.GetChild(index, reused);
        ASSERT_TRUE(root.GetChild(2, reused));
        EXPECT_EQ(Utf8(reused.GetName()), "s:xButton");
        ASSERT_TRUE(reused.Attach(tree));
        EXPECT_EQ(Utf8(reused.GetName()), "xForm");
        EXPECT_EQ(References(tree), withTwo);

        // Reading attributes, found or not, keeps nothing.
        CString text;
        int number = 0;
        bool flag = false;
        for (LPCWSTR name : {u"caption", u"width", u"yes", u"blank", u"missing"}) {
            root.GetAttribute(name, &text);
            root.GetIntAttribute(name, &number);
            root.GetBoolAttribute(name, &flag);
        }
        delete root.NewChild(0);
        delete root.NewChild(1);
        delete document.NewRootElement();
        EXPECT_EQ(References(tree), withTwo);

        // A wrapper may be given its own child.
        ASSERT_TRUE(root.GetChild(0, root));
        EXPECT_EQ(Utf8(root.GetName()), "xLayer");
        EXPECT_EQ(References(tree), withTwo);
    }
    EXPECT_EQ(References(tree), loaded);

    ASSERT_TRUE(document.Close());
    EXPECT_EQ(References(tree), loaded - 1) << "the root is let go";
    ASSERT_TRUE(document.Uninit(false));
    EXPECT_EQ(References(dom), 1u) << "only the test holds the DOM document";

    // A document that goes while loaded lets go of both.
    {
        CXmlDocument loadedDocument;
        ASSERT_TRUE(loadedDocument.Init());
        ASSERT_TRUE(loadedDocument.Load(kFormPath));
    }
    EXPECT_EQ(References(g_lastDocument), 1u);
    IXMLDOMElement* secondTree = nullptr;
    ASSERT_EQ(g_lastDocument->get_documentElement(&secondTree), S_OK);
    EXPECT_EQ(References(secondTree), 2u) << "the DOM document and the test";
    secondTree->Release();
    tree->Release();
}

// ---- Document lifecycle -------------------------------------------------------------------------------

TEST_F(XmlReaderTest, LoadRefusals) {
    WriteDeviceFile(u"\\skins\\broken.xml", "<xForm><xLayer></xForm>");
    WriteDeviceFile(u"\\skins\\other.xml", "<other/>");
    CXmlDocument document;
    EXPECT_FALSE(document.Load(kFormPath)) << "before Init";
    ASSERT_TRUE(document.Init());
    EXPECT_FALSE(document.Load(nullptr));
    EXPECT_FALSE(document.Load(u""));

    // Loaded twice without Close: the first file stays.
    ASSERT_TRUE(document.Load(kFormPath));
    EXPECT_FALSE(document.Load(u"\\skins\\other.xml"));
    CXmlElement root;
    ASSERT_TRUE(document.GetRootElement(root));
    EXPECT_EQ(Utf8(root.GetName()), "xForm");
    ASSERT_TRUE(document.Close());
    EXPECT_FALSE(document.Close());

    // A missing file is refused before the DOM reads anything: it still holds the last tree.
    EXPECT_FALSE(document.Load(u"\\skins\\missing.xml"));
    EXPECT_FALSE(document.IsLoaded());
    IXMLDOMElement* held = nullptr;
    EXPECT_EQ(g_lastDocument->get_documentElement(&held), S_OK);
    if (held)
        held->Release();

    EXPECT_FALSE(document.Load(u"\\skins\\broken.xml"));
    EXPECT_FALSE(document.IsLoaded());
    EXPECT_FALSE(document.GetRootElement(root));
    EXPECT_EQ(Utf8(root.GetName()), "xForm");

    ASSERT_TRUE(document.Load(u"\\skins\\other.xml"));
    ASSERT_TRUE(document.GetRootElement(root));
    EXPECT_EQ(Utf8(root.GetName()), "other");
}

TEST_F(XmlReaderTest, InitAndUninitWithCom) {
    CXmlDocument document;
    EXPECT_FALSE(document.IsInitialised());
    EXPECT_FALSE(document.Close());
    EXPECT_FALSE(document.Uninit(false));
    CXmlElement root;
    EXPECT_FALSE(document.GetRootElement(root));
    EXPECT_EQ(document.NewRootElement(), nullptr);

    ASSERT_TRUE(document.Init());
    EXPECT_TRUE(ComInitialised());
    EXPECT_FALSE(document.Init()) << "already initialised";
    EXPECT_TRUE(document.IsInitialised());
    EXPECT_FALSE(document.Close()) << "nothing loaded";

    // Uninit closes; COM stays unless asked to end.
    ASSERT_TRUE(document.Load(kFormPath));
    ASSERT_TRUE(document.Uninit(false));
    EXPECT_FALSE(document.IsLoaded());
    EXPECT_FALSE(document.IsInitialised());
    EXPECT_TRUE(ComInitialised());

    // On a thread already initialised; Uninit(true) ends one initialisation of two.
    ASSERT_TRUE(document.Init());
    ASSERT_TRUE(document.Uninit(true));
    EXPECT_TRUE(ComInitialised());
    EndCom();
    ASSERT_TRUE(document.Init());
    ASSERT_TRUE(document.Uninit(true));
    EXPECT_FALSE(ComInitialised());

    // A thread in the other threading model is refused.
    ASSERT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
    EXPECT_FALSE(document.Init());
    EXPECT_FALSE(document.IsInitialised());
    CoUninitialize();

    // Without a DOM nothing loads; COM stays initialised, and a later Init may still succeed.
    g_domMissing = true;
    EXPECT_FALSE(document.Init());
    EXPECT_FALSE(document.IsInitialised());
    EXPECT_FALSE(document.Load(kFormPath));
    EXPECT_TRUE(ComInitialised());
    g_domMissing = false;
    ASSERT_TRUE(document.Init());
    EXPECT_TRUE(document.Load(kFormPath));
}

TEST_F(XmlReaderTest, LoadClearsTheFileAttributes) {
    const DWORD kept = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    ASSERT_TRUE(SetFileAttributesW(kFormPath, kept));
    ASSERT_EQ(GetFileAttributesW(kFormPath) & kept, kept);
    CXmlDocument document;
    ASSERT_TRUE(document.Init());
    EXPECT_TRUE(document.Load(kFormPath));
    EXPECT_EQ(GetFileAttributesW(kFormPath), static_cast<DWORD>(FILE_ATTRIBUTE_NORMAL));
}

} // namespace
