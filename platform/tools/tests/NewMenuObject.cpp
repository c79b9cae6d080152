// A New-menu object for the device tool's tests: creating it adds 1 to the REG_DWORD
// HKCU\Software\ToolTests\Created, so that a test in another process sees the creation.

#include "com/Com.h"
#include "kernel/Errors.h"
#include "kernel/Modules.h"
#include "kernel/Registry.h"

// {6B0C3E51-2D44-4F0A-8C1E-5A7D9B3C2E10}
inline constexpr CLSID CLSID_NewMenuObject = {
    0x6B0C3E51, 0x2D44, 0x4F0A, {0x8C, 0x1E, 0x5A, 0x7D, 0x9B, 0x3C, 0x2E, 0x10}};

namespace {

constexpr char16_t kScript[] = uR"(HKCR
{
    NoRemove CLSID
    {
        ForceRemove {6B0C3E51-2D44-4F0A-8C1E-5A7D9B3C2E10} = s 'NewMenuObject Class'
        {
            InprocServer32 = s '%MODULE%'
        }
    }
}
)";

void CountCreation() {
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, u"Software\\ToolTests", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                        &key, nullptr) != ERROR_SUCCESS)
        return;
    DWORD count = 0;
    DWORD size = sizeof count;
    RegQueryValueExW(key, u"Created", nullptr, nullptr, reinterpret_cast<BYTE*>(&count), &size);
    ++count;
    RegSetValueExW(key, u"Created", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&count), sizeof count);
    RegCloseKey(key);
}

CComModule g_module;

class CNewMenuObject : public CComObjectRootEx<CComSingleThreadModel>,
                       public CComCoClass<CNewMenuObject, &CLSID_NewMenuObject>,
                       public ISupportErrorInfo {
public:
    CNewMenuObject() { CountCreation(); }

    DECLARE_REGISTRY_SCRIPT(kScript)

    BEGIN_COM_MAP(CNewMenuObject)
    COM_INTERFACE_ENTRY(ISupportErrorInfo)
    END_COM_MAP()

    STDMETHODIMP InterfaceSupportsErrorInfo(REFIID) override { return S_FALSE; }
};

BEGIN_OBJECT_MAP(g_objectMap)
OBJECT_ENTRY(CLSID_NewMenuObject, CNewMenuObject)
END_OBJECT_MAP()

} // namespace

extern "C" BOOL DllMain(HANDLE module, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH)
        g_module.Init(g_objectMap, static_cast<HINSTANCE>(module), nullptr);
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
    return g_module.RegisterServer(FALSE);
}

STDAPI DllUnregisterServer() {
    return g_module.UnregisterServer();
}
