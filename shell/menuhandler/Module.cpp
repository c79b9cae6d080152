// Tallowick's module: the object map and the exports of an in-process COM server.

#include "MenuHandler.h"
#include "Resources.h"
#include "com/Com.h"
#include "kernel/Modules.h"

namespace {

CComModule g_module;

BEGIN_OBJECT_MAP(g_objectMap)
OBJECT_ENTRY(CLSID_MenuHandler, CMenuHandler)
END_OBJECT_MAP()

} // namespace

extern "C" BOOL DllMain(HANDLE module, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH)
        g_module.Init(g_objectMap, static_cast<HINSTANCE>(module), &kTallowickTypeLibrary);
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

// The script, then the type library.
STDAPI DllRegisterServer() {
    return g_module.RegisterServer(TRUE);
}

// The type library stays registered; the installer is not told of a failure.
STDAPI DllUnregisterServer() {
    g_module.UnregisterServer();
    return S_OK;
}
