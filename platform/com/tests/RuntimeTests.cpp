#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "com/BuiltInClasses.h"
#include "com/Com.h"
#include "kernel/Modules.h"
#include "testing/DeviceRootTest.h"
#include "testing/RegistryDump.h"
#include "testing/TestServer.h"

namespace {

using com_test::Dump;
using com_test::KeyExists;
using Lines = std::vector<std::string>;

constexpr char16_t kServerPath[] = u"\\windows\\TestServer.dll";

TEST(CoInitializeTest, RepeatedInitialisationsAreCountedPerThread) {
    EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
    EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_FALSE);
    EXPECT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), RPC_E_CHANGED_MODE);
    HRESULT otherThread = E_FAIL;
    std::thread([&] {
        otherThread = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        CoUninitialize();
    }).join();
    EXPECT_EQ(otherThread, S_OK);
    CoUninitialize();
    EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_FALSE);
    CoUninitialize();
    CoUninitialize();
    // Balanced: the thread starts afresh, and may choose the other model now.
    EXPECT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
    CoUninitialize();
    CoUninitialize(); // one too many is ignored
    int reserved = 0;
    EXPECT_EQ(CoInitializeEx(&reserved, COINIT_MULTITHREADED), E_INVALIDARG);
}

TEST(CoInitializeTest, ObjectsNeedAnInitialisedThread) {
    IUnknown* object = reinterpret_cast<IUnknown*>(&object);
    EXPECT_EQ(CoCreateInstance(CLSID_TestObject, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                               reinterpret_cast<void**>(&object)),
              CO_E_NOTINITIALIZED);
    EXPECT_EQ(object, nullptr);
}

// A device root with the test server installed, on an initialised thread.
class ServerTest : public testing_support::DeviceRootTest {
protected:
    void SetUp() override {
        DeviceRootTest::SetUp();
        Install(COM_TEST_MANIFEST);
        ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
    }
    // The thread's last CoUninitialize frees the servers that nothing uses any more.
    void TearDown() override {
        CoUninitialize();
        EXPECT_EQ(GetModuleHandleW(kServerPath), nullptr) << "the server stayed loaded";
        DeviceRootTest::TearDown();
    }

    // Runs one of the server's registration exports, loading and freeing it as an installer does.
    static HRESULT RunServerExport(const char* name) {
        HMODULE module = LoadLibraryW(kServerPath);
        if (!module)
            return E_FAIL;
        auto entry = reinterpret_cast<HRESULT (*)()>(GetProcAddress(module, name));
        HRESULT hr = entry ? entry() : E_FAIL;
        FreeLibrary(module);
        return hr;
    }

    // An export of the loaded server, without taking a reference on it.
    template <typename Function>
    static Function ServerExport(const char* name) {
        HMODULE module = GetModuleHandleW(kServerPath);
        return module ? reinterpret_cast<Function>(GetProcAddress(module, name)) : nullptr;
    }

    static HRESULT CanUnloadNow() {
        auto entry = ServerExport<LPFNCANUNLOADNOW>("DllCanUnloadNow");
        return entry ? entry() : E_FAIL;
    }
    static LONG LiveObjects() {
        auto constructions = ServerExport<TestServerCounter>("TestServerConstructions");
        auto destructions = ServerExport<TestServerCounter>("TestServerDestructions");
        return constructions && destructions ? constructions() - destructions() : -1;
    }
    static LONG Constructions() {
        auto constructions = ServerExport<TestServerCounter>("TestServerConstructions");
        return constructions ? constructions() : -1;
    }

    static void RegisterClass(const std::u16string& clsidText, const std::u16string& server) {
        HKEY key = nullptr;
        std::u16string path = u"CLSID\\" + clsidText + u"\\InprocServer32";
        ASSERT_EQ(RegCreateKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                  &key, nullptr),
                  ERROR_SUCCESS);
        ASSERT_EQ(RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(server.c_str()),
                                 static_cast<DWORD>((server.size() + 1) * sizeof(WCHAR))),
                  ERROR_SUCCESS);
        RegCloseKey(key);
    }
};

TEST_F(ServerTest, DllRegisterServerWritesTheScriptAndTheTypeLibrary) {
    ASSERT_EQ(RunServerExport("DllRegisterServer"), S_OK);
    const std::string libid = com_test::Narrow(kTestServerLibidText);
    EXPECT_EQ(
        Dump(HKEY_CLASSES_ROOT, u"CLSID\\" + std::u16string(kTestObjectClsidText)),
        (Lines{"@ = \"TestObject Class\"", "ProgID", "ProgID @ = \"Test.Object.1\"", "InprocServer32",
               "InprocServer32 @ = \"\\windows\\TestServer.dll\"",
               "InprocServer32 @ThreadingModel = \"Free\"", "TypeLib", "TypeLib @ = \"" + libid + "\""}));
    EXPECT_EQ(Dump(HKEY_CLASSES_ROOT, u"TypeLib\\" + std::u16string(kTestServerLibidText)),
              (Lines{"1.0", "1.0 @ = \"TestServer 1.0 Type Library\"", "1.0\\FLAGS", "1.0\\FLAGS @ = \"0\"",
                     "1.0\\0", "1.0\\0\\win32", "1.0\\0\\win32 @ = \"\\windows\\TestServer.dll\"",
                     "1.0\\HELPDIR", "1.0\\HELPDIR @ = \"\\windows\""}));
    EXPECT_EQ(Dump(HKEY_CLASSES_ROOT, u"Interface\\" + std::u16string(kTestObjectIidText)),
              (Lines{"@ = \"ITestObject\"", "ProxyStubClsid",
                     "ProxyStubClsid @ = \"{00020424-0000-0000-C000-000000000046}\"", "ProxyStubClsid32",
                     "ProxyStubClsid32 @ = \"{00020424-0000-0000-C000-000000000046}\"", "TypeLib",
                     "TypeLib @ = \"" + libid + "\"", "TypeLib @Version = \"1.0\""}));
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, u"CLSID\\" + std::u16string(kRefusingObjectClsidText)));
}

TEST_F(ServerTest, DllUnregisterServerRemovesTheClassesAndLeavesTheTypeLibrary) {
    ASSERT_EQ(RunServerExport("DllRegisterServer"), S_OK);
    ASSERT_EQ(RunServerExport("DllUnregisterServer"), S_OK);
    EXPECT_EQ(Dump(HKEY_CLASSES_ROOT, u"CLSID"), Lines{});
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, u"CLSID"));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, u"Test.Object.1"));
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, u"TypeLib\\" + std::u16string(kTestServerLibidText) + u"\\1.0"));
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, u"Interface\\" + std::u16string(kTestObjectIidText)));
    ITestObject* object = nullptr;
    EXPECT_EQ(CoCreateInstance(CLSID_TestObject, nullptr, CLSCTX_INPROC_SERVER, IID_ITestObject,
                               reinterpret_cast<void**>(&object)),
              REGDB_E_CLASSNOTREG);
}

TEST_F(ServerTest, ARegisteredServerIsLoadedCountedAndUnloadedWhenUnused) {
    ASSERT_EQ(RunServerExport("DllRegisterServer"), S_OK);
    ASSERT_EQ(GetModuleHandleW(kServerPath), nullptr);

    ITestObject* object = nullptr;
    ASSERT_EQ(CoCreateInstance(CLSID_TestObject, nullptr, CLSCTX_ALL, IID_ITestObject,
                               reinterpret_cast<void**>(&object)),
              S_OK);
    ASSERT_NE(object, nullptr);
    EXPECT_NE(GetModuleHandleW(kServerPath), nullptr);
    EXPECT_EQ(LiveObjects(), 1);

    // One identity for IUnknown; every interface of the map counts on the same object.
    IUnknown* unknown = nullptr;
    ASSERT_EQ(object->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&unknown)), S_OK);
    EXPECT_EQ(static_cast<void*>(unknown), static_cast<void*>(object));
    ISupportErrorInfo* errorInfo = nullptr;
    ASSERT_EQ(object->QueryInterface(IID_ISupportErrorInfo, reinterpret_cast<void**>(&errorInfo)), S_OK);
    EXPECT_EQ(errorInfo->InterfaceSupportsErrorInfo(IID_ITestObject), S_OK);
    EXPECT_EQ(errorInfo->InterfaceSupportsErrorInfo(IID_IDispatch), S_FALSE);
    void* none = &none;
    EXPECT_EQ(object->QueryInterface(IID_IClassFactory, &none), E_NOINTERFACE);
    EXPECT_EQ(none, nullptr);
    EXPECT_EQ(object->AddRef(), 4u);
    EXPECT_EQ(object->Release(), 3u);
    EXPECT_EQ(errorInfo->Release(), 2u);
    EXPECT_EQ(unknown->Release(), 1u);

    // Nothing may unload the server while the object lives.
    EXPECT_EQ(CanUnloadNow(), S_FALSE);
    CoFreeUnusedLibraries();
    EXPECT_NE(GetModuleHandleW(kServerPath), nullptr);

    EXPECT_EQ(object->Release(), 0u);
    EXPECT_EQ(LiveObjects(), 0);
    EXPECT_EQ(CanUnloadNow(), S_OK);
    CoFreeUnusedLibraries();
    EXPECT_EQ(GetModuleHandleW(kServerPath), nullptr);
}

TEST_F(ServerTest, LockServerKeepsTheServerLoadedWithoutAnObject) {
    ASSERT_EQ(RunServerExport("DllRegisterServer"), S_OK);
    IClassFactory* factory = nullptr;
    ASSERT_EQ(CoGetClassObject(CLSID_TestObject, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory,
                               reinterpret_cast<void**>(&factory)),
              S_OK);
    EXPECT_EQ(CanUnloadNow(), S_FALSE); // the class object itself holds the server
    EXPECT_EQ(factory->LockServer(TRUE), S_OK);
    EXPECT_EQ(factory->Release(), 0u);
    EXPECT_EQ(CanUnloadNow(), S_FALSE);
    CoFreeUnusedLibraries();
    ASSERT_NE(GetModuleHandleW(kServerPath), nullptr);

    ASSERT_EQ(CoGetClassObject(CLSID_TestObject, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory,
                               reinterpret_cast<void**>(&factory)),
              S_OK);
    EXPECT_EQ(factory->LockServer(FALSE), S_OK);
    EXPECT_EQ(factory->Release(), 0u);
    EXPECT_EQ(CanUnloadNow(), S_OK);
    CoFreeUnusedLibraries();
}

TEST_F(ServerTest, FailedCreationsDestroyWhatTheyBuiltAndReportWhy) {
    ASSERT_EQ(RunServerExport("DllRegisterServer"), S_OK);
    void* object = &object;

    // The constructor runs before the missing interface is noticed; the object goes again.
    EXPECT_EQ(CoCreateInstance(CLSID_TestObject, nullptr, CLSCTX_INPROC_SERVER, IID_IClassFactory, &object),
              E_NOINTERFACE);
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(Constructions(), 1);
    EXPECT_EQ(LiveObjects(), 0);

    EXPECT_EQ(CoCreateInstance(CLSID_RefusingObject, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, &object),
              E_ACCESSDENIED);
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(Constructions(), 2);
    EXPECT_EQ(LiveObjects(), 0);

    // Any outer object is refused before the constructor runs.
    EXPECT_EQ(CoCreateInstance(CLSID_TestObject, reinterpret_cast<IUnknown*>(&object), CLSCTX_INPROC_SERVER,
                               IID_IUnknown, &object),
              CLASS_E_NOAGGREGATION);
    EXPECT_EQ(Constructions(), 2);
    EXPECT_EQ(CanUnloadNow(), S_OK);
    CoFreeUnusedLibraries();
}

TEST_F(ServerTest, ClassesThatCannotBeServedGiveTheirErrors) {
    ASSERT_EQ(RunServerExport("DllRegisterServer"), S_OK);
    const CLSID missingFile = {0x0BAD0001, 0, 0, {0, 0, 0, 0, 0, 0, 0, 1}};
    const CLSID notALibrary = {0x0BAD0002, 0, 0, {0, 0, 0, 0, 0, 0, 0, 2}};
    const CLSID notInTheServer = {0x0BAD0003, 0, 0, {0, 0, 0, 0, 0, 0, 0, 3}};
    const CLSID unknown = {0x0BAD0004, 0, 0, {0, 0, 0, 0, 0, 0, 0, 4}};
    auto text = [](const CLSID& clsid) {
        WCHAR buffer[39];
        StringFromGUID2(clsid, buffer, 39);
        return std::u16string(buffer);
    };
    RegisterClass(text(missingFile), u"\\windows\\Missing.dll");
    RegisterClass(text(notALibrary), u"NotALibrary.dll");
    RegisterClass(text(notInTheServer), kServerPath);
    struct Case {
        const char* name;
        CLSID clsid;
        DWORD context;
        HRESULT expected;
    } cases[] = {
        {"unknown class", unknown, CLSCTX_INPROC_SERVER, REGDB_E_CLASSNOTREG},
        {"missing file", missingFile, CLSCTX_INPROC_SERVER, CO_E_DLLNOTFOUND},
        {"not a library", notALibrary, CLSCTX_INPROC_SERVER, CO_E_ERRORINDLL},
        {"class the server lacks", notInTheServer, CLSCTX_INPROC_SERVER, CLASS_E_CLASSNOTAVAILABLE},
        {"local server only", CLSID_TestObject, CLSCTX_LOCAL_SERVER, REGDB_E_CLASSNOTREG},
    };
    for (const Case& entry : cases) {
        SCOPED_TRACE(entry.name);
        void* object = &object;
        EXPECT_EQ(CoCreateInstance(entry.clsid, nullptr, entry.context, IID_IUnknown, &object),
                  entry.expected);
        EXPECT_EQ(object, nullptr);
    }
    EXPECT_EQ(CoCreateInstance(CLSID_TestObject, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, nullptr),
              E_INVALIDARG);
}

TEST_F(ServerTest, IDispatchIsAnsweredFromTheTypeLibrary) {
    ASSERT_EQ(RunServerExport("DllRegisterServer"), S_OK);
    IDispatch* dispatch = nullptr;
    ASSERT_EQ(CoCreateInstance(CLSID_TestObject, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                               reinterpret_cast<void**>(&dispatch)),
              S_OK);
    UINT count = 0;
    EXPECT_EQ(dispatch->GetTypeInfoCount(&count), S_OK);
    EXPECT_EQ(count, 1u);

    ITypeInfo* typeInfo = nullptr;
    ASSERT_EQ(dispatch->GetTypeInfo(0, 0, &typeInfo), S_OK);
    BSTR name = nullptr;
    BSTR help = nullptr;
    ASSERT_EQ(typeInfo->GetDocumentation(MEMBERID_NIL, &name, &help, nullptr, nullptr), S_OK);
    EXPECT_EQ(std::u16string(name), u"ITestObject");
    EXPECT_EQ(std::u16string(help), u"ITestObject Interface");
    SysFreeString(name);
    SysFreeString(help);
    EXPECT_EQ(typeInfo->GetDocumentation(1, &name, nullptr, nullptr, nullptr), TYPE_E_ELEMENTNOTFOUND);
    EXPECT_EQ(name, nullptr);
    typeInfo->Release();
    typeInfo = reinterpret_cast<ITypeInfo*>(&count);
    EXPECT_EQ(dispatch->GetTypeInfo(1, 0, &typeInfo), DISP_E_BADINDEX);
    EXPECT_EQ(typeInfo, nullptr);

    OLECHAR nameText[] = u"Open";
    LPOLESTR names[] = {nameText, nameText};
    DISPID ids[2] = {5, 5};
    EXPECT_EQ(dispatch->GetIDsOfNames(IID_NULL, names, 2, 0, ids), DISP_E_UNKNOWNNAME);
    EXPECT_EQ(ids[0], DISPID_UNKNOWN);
    EXPECT_EQ(ids[1], DISPID_UNKNOWN);
    EXPECT_EQ(dispatch->GetIDsOfNames(IID_ITestObject, names, 1, 0, ids), DISP_E_UNKNOWNINTERFACE);
    DISPPARAMS none = {nullptr, nullptr, 0, 0};
    EXPECT_EQ(dispatch->Invoke(DISPID_VALUE, IID_NULL, 0, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr),
              DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(
        dispatch->Invoke(DISPID_VALUE, IID_ITestObject, 0, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr),
        DISP_E_UNKNOWNINTERFACE);
    EXPECT_EQ(dispatch->Release(), 0u);
}

// A built-in class: a class object that lives for the process.
class BuiltInFactory final : public IClassFactory {
public:
    STDMETHODIMP QueryInterface(REFIID riid, void** ppvObject) override {
        *ppvObject = riid == IID_IClassFactory || riid == IID_IUnknown ? this : nullptr;
        return *ppvObject ? S_OK : E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP CreateInstance(IUnknown*, REFIID riid, void** ppvObject) override {
        ++m_created;
        return QueryInterface(riid, ppvObject);
    }
    STDMETHODIMP LockServer(BOOL) override { return S_OK; }
    int m_created = 0;
};

BuiltInFactory g_builtIn;
const CLSID kBuiltInClass = {0x0B11D000, 0, 0, {0, 0, 0, 0, 0, 0, 0, 1}};

HRESULT GetBuiltInClassObject(REFCLSID, REFIID riid, void** ppv) {
    return g_builtIn.QueryInterface(riid, ppv);
}

TEST_F(ServerTest, BuiltInClassesNeedNoRegistryEntry) {
    ASSERT_TRUE(com::RegisterBuiltInClass(kBuiltInClass, &GetBuiltInClassObject));
    EXPECT_FALSE(com::RegisterBuiltInClass(kBuiltInClass, &GetBuiltInClassObject));
    void* object = nullptr;
    EXPECT_EQ(CoCreateInstance(kBuiltInClass, nullptr, CLSCTX_INPROC_SERVER, IID_IClassFactory, &object),
              S_OK);
    EXPECT_EQ(object, &g_builtIn);
    EXPECT_EQ(g_builtIn.m_created, 1);
    com::RevokeBuiltInClass(kBuiltInClass);
    EXPECT_EQ(CoCreateInstance(kBuiltInClass, nullptr, CLSCTX_INPROC_SERVER, IID_IClassFactory, &object),
              REGDB_E_CLASSNOTREG);
}

} // namespace
