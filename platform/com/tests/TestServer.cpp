// An in-process server for the run-time tests, built with the server helpers: TestObject (a dual
// interface answered from the type library, ISupportErrorInfo, its script a REGISTRY resource) and
// RefusingObject (FinalConstruct fails; its script handed over as text).

#include <atomic>

#include "com/Com.h"
#include "kernel/Modules.h"
#include "kernel/Resources.h"
#include "testing/TestServer.h"

namespace {

std::atomic<LONG> g_constructions{0};
std::atomic<LONG> g_destructions{0};

const com::TypeInterfaceDescription kInterfaces[] = {
    {u"ITestObject", &IID_ITestObject, u"ITestObject Interface", com::InterfaceKind::Dual},
};
const com::TypeClassDescription kClasses[] = {
    {u"TestObject", &CLSID_TestObject, u"TestObject Class", &IID_ITestObject},
};
const LPCOLESTR kImports[] = {u"stdole2.tlb"};
const com::TypeLibraryDescription kTypeLibrary = {
    u"TESTSERVERLib", &LIBID_TestServerLib, 1, 0, u"TestServer 1.0 Type Library", kInterfaces, kClasses,
    kImports};

constexpr char16_t kTestObjectScript[] = uR"(HKCR
{
    Test.Object.1 = s 'TestObject Class'
    {
        CLSID = s '{3F1A9C20-5B7E-4C11-9A2D-610B7E44C301}'
    }
    NoRemove CLSID
    {
        ForceRemove {3F1A9C20-5B7E-4C11-9A2D-610B7E44C301} = s 'TestObject Class'
        {
            ProgID = s 'Test.Object.1'
            InprocServer32 = s '%MODULE%'
            {
                val ThreadingModel = s 'Free'
            }
            'TypeLib' = s '{3F1A9C20-5B7E-4C11-9A2D-610B7E44C304}'
        }
    }
}
)";

constexpr UINT kTestObjectScriptId = 101;
const kernel::ResourceEntry kResources[] = {
    // Without its terminator, as a resource compiler stores a script.
    {u"REGISTRY", MAKEINTRESOURCE(kTestObjectScriptId), kTestObjectScript,
     sizeof kTestObjectScript - sizeof(WCHAR)},
};
const kernel::ResourceTable kResourceTable(kResources);

constexpr char16_t kRefusingObjectScript[] = uR"(HKCR
{
    NoRemove CLSID
    {
        ForceRemove {3F1A9C20-5B7E-4C11-9A2D-610B7E44C302} = s 'RefusingObject Class'
        {
            InprocServer32 = s '%MODULE%'
        }
    }
}
)";

CComModule g_module;

class CTestObject : public CComObjectRootEx<CComMultiThreadModel>,
                    public CComCoClass<CTestObject, &CLSID_TestObject>,
                    public ISupportErrorInfo,
                    public IDispatchImpl<ITestObject, &IID_ITestObject, &kTypeLibrary> {
public:
    CTestObject() { ++g_constructions; }
    ~CTestObject() { ++g_destructions; }

    DECLARE_REGISTRY_RESOURCEID(kTestObjectScriptId)

    BEGIN_COM_MAP(CTestObject)
    COM_INTERFACE_ENTRY(ITestObject)
    COM_INTERFACE_ENTRY(IDispatch)
    COM_INTERFACE_ENTRY(ISupportErrorInfo)
    END_COM_MAP()

    STDMETHODIMP InterfaceSupportsErrorInfo(REFIID riid) override {
        return riid == IID_ITestObject ? S_OK : S_FALSE;
    }
};

class CRefusingObject : public CComObjectRootEx<CComSingleThreadModel>,
                        public CComCoClass<CRefusingObject, &CLSID_RefusingObject>,
                        public ISupportErrorInfo {
public:
    CRefusingObject() { ++g_constructions; }
    ~CRefusingObject() { ++g_destructions; }

    DECLARE_REGISTRY_SCRIPT(kRefusingObjectScript)

    BEGIN_COM_MAP(CRefusingObject)
    COM_INTERFACE_ENTRY(ISupportErrorInfo)
    END_COM_MAP()

    HRESULT FinalConstruct() { return E_ACCESSDENIED; }
    STDMETHODIMP InterfaceSupportsErrorInfo(REFIID) override { return S_FALSE; }
};

BEGIN_OBJECT_MAP(g_objectMap)
OBJECT_ENTRY(CLSID_TestObject, CTestObject)
OBJECT_ENTRY(CLSID_RefusingObject, CRefusingObject)
END_OBJECT_MAP()

} // namespace

extern "C" BOOL DllMain(HANDLE module, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH)
        g_module.Init(g_objectMap, static_cast<HINSTANCE>(module), &kTypeLibrary);
    else if (reason == DLL_PROCESS_DETACH)
        g_module.Term();
    return TRUE;
}

STDAPI DllCanUnloadNow() {
    return g_module.GetLockCount() == 0 ? S_OK : S_FALSE;
}

STDAPI DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID* ppv) {
    return g_module.GetClassObject(rclsid, riid, ppv);
}

STDAPI DllRegisterServer() {
    return g_module.RegisterServer(TRUE);
}

STDAPI DllUnregisterServer() {
    return g_module.UnregisterServer();
}

extern "C" LONG TestServerConstructions() {
    return g_constructions;
}

extern "C" LONG TestServerDestructions() {
    return g_destructions;
}
