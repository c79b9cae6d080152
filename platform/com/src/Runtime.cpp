#include "com/Runtime.h"

#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "Internal.h"
#include "com/BuiltInClasses.h"
#include "kernel/Errors.h"
#include "kernel/Modules.h"
#include "kernel/Registry.h"

namespace {

struct ThreadState {
    unsigned initialisations = 0;
    DWORD model = COINIT_MULTITHREADED;
};

thread_local ThreadState t_thread;

struct LoadedServer {
    HMODULE module = nullptr;
    LPFNCANUNLOADNOW canUnloadNow = nullptr;
};

struct BuiltInClass {
    CLSID clsid;
    com::GetClassObjectFunction getClassObject;
};

struct Runtime {
    std::mutex lock;
    unsigned initialisedThreads = 0;
    std::vector<LoadedServer> servers; // one reference of each, taken when it was first loaded
    std::vector<BuiltInClass> builtIns;
};

Runtime& TheRuntime() {
    static Runtime* runtime = new Runtime; // never destroyed: libraries register while the process ends
    return *runtime;
}

std::optional<com::GetClassObjectFunction> FindBuiltIn(REFCLSID clsid) {
    Runtime& runtime = TheRuntime();
    std::lock_guard guard(runtime.lock);
    for (const BuiltInClass& entry : runtime.builtIns)
        if (entry.clsid == clsid)
            return entry.getClassObject;
    return std::nullopt;
}

// The server library named for the class in the registry.
std::optional<std::u16string> InprocServerOf(REFCLSID clsid) {
    std::u16string path = u"CLSID\\" + com::internal::GuidText(clsid) + u"\\InprocServer32";
    com::internal::RegistryKey key;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, key.Receive()) != ERROR_SUCCESS)
        return std::nullopt;
    auto server = com::internal::QueryStringValue(key.Get(), nullptr);
    if (!server || server->empty())
        return std::nullopt;
    return server;
}

// Keeps the caller's reference of a server in the table when the table has none, else drops it.
void KeepServer(HMODULE module) {
    // Looked up before the run time's lock is taken: the loader's lock is never taken under it.
    auto canUnloadNow = reinterpret_cast<LPFNCANUNLOADNOW>(GetProcAddress(module, "DllCanUnloadNow"));
    Runtime& runtime = TheRuntime();
    bool known = false;
    {
        std::lock_guard guard(runtime.lock);
        for (const LoadedServer& server : runtime.servers)
            known = known || server.module == module;
        if (!known)
            runtime.servers.push_back({module, canUnloadNow});
    }
    if (known)
        FreeLibrary(module);
}

HRESULT GetServerClassObject(const std::u16string& serverPath, REFCLSID rclsid, REFIID riid, LPVOID* ppv) {
    // The library is held by this call until the table owns a reference, so that a concurrent
    // CoFreeUnusedLibraries cannot unload it under DllGetClassObject.
    HMODULE module = LoadLibraryW(serverPath.c_str());
    if (!module)
        return GetLastError() == ERROR_MOD_NOT_FOUND ? CO_E_DLLNOTFOUND : CO_E_ERRORINDLL;
    auto getClassObject = reinterpret_cast<LPFNGETCLASSOBJECT>(GetProcAddress(module, "DllGetClassObject"));
    if (!getClassObject) {
        FreeLibrary(module);
        return CO_E_ERRORINDLL;
    }
    HRESULT hr = getClassObject(rclsid, riid, ppv);
    KeepServer(module);
    return hr;
}

} // namespace

namespace com {

bool RegisterBuiltInClass(REFCLSID clsid, GetClassObjectFunction getClassObject) {
    Runtime& runtime = TheRuntime();
    std::lock_guard guard(runtime.lock);
    for (const BuiltInClass& entry : runtime.builtIns)
        if (entry.clsid == clsid)
            return false;
    runtime.builtIns.push_back({clsid, getClassObject});
    return true;
}

void RevokeBuiltInClass(REFCLSID clsid) {
    Runtime& runtime = TheRuntime();
    std::lock_guard guard(runtime.lock);
    std::erase_if(runtime.builtIns, [&](const BuiltInClass& entry) { return entry.clsid == clsid; });
}

} // namespace com

HRESULT CoInitializeEx(LPVOID pvReserved, DWORD dwCoInit) {
    if (pvReserved)
        return E_INVALIDARG;
    DWORD model = dwCoInit & COINIT_APARTMENTTHREADED;
    if (t_thread.initialisations > 0) {
        if (model != t_thread.model)
            return RPC_E_CHANGED_MODE;
        ++t_thread.initialisations;
        return S_FALSE;
    }
    t_thread.initialisations = 1;
    t_thread.model = model;
    Runtime& runtime = TheRuntime();
    std::lock_guard guard(runtime.lock);
    ++runtime.initialisedThreads;
    return S_OK;
}

void CoUninitialize() {
    if (t_thread.initialisations == 0 || --t_thread.initialisations > 0)
        return;
    Runtime& runtime = TheRuntime();
    bool last = false;
    {
        std::lock_guard guard(runtime.lock);
        last = --runtime.initialisedThreads == 0;
    }
    // Only servers that agree are unloaded: objects may outlive the initialisation that made them.
    if (last)
        CoFreeUnusedLibraries();
}

HRESULT CoGetClassObject(REFCLSID rclsid, DWORD dwClsContext, LPVOID, REFIID riid, LPVOID* ppv) {
    if (!ppv)
        return E_INVALIDARG;
    *ppv = nullptr;
    if (t_thread.initialisations == 0)
        return CO_E_NOTINITIALIZED;
    if ((dwClsContext & CLSCTX_INPROC_SERVER) == 0)
        return REGDB_E_CLASSNOTREG;
    if (auto builtIn = FindBuiltIn(rclsid))
        return (*builtIn)(rclsid, riid, ppv);
    auto server = InprocServerOf(rclsid);
    if (!server)
        return REGDB_E_CLASSNOTREG;
    HRESULT hr = GetServerClassObject(*server, rclsid, riid, ppv);
    if (FAILED(hr))
        *ppv = nullptr;
    return hr;
}

HRESULT CoCreateInstance(REFCLSID rclsid, LPUNKNOWN pUnkOuter, DWORD dwClsContext, REFIID riid, LPVOID* ppv) {
    if (!ppv)
        return E_INVALIDARG;
    *ppv = nullptr;
    IClassFactory* factory = nullptr;
    HRESULT hr = CoGetClassObject(rclsid, dwClsContext, nullptr, IID_IClassFactory,
                                  reinterpret_cast<LPVOID*>(&factory));
    if (FAILED(hr))
        return hr;
    hr = factory->CreateInstance(pUnkOuter, riid, ppv);
    factory->Release();
    if (FAILED(hr))
        *ppv = nullptr;
    return hr;
}

void CoFreeUnusedLibraries() {
    Runtime& runtime = TheRuntime();
    std::vector<HMODULE> unused;
    {
        std::lock_guard guard(runtime.lock);
        std::erase_if(runtime.servers, [&](const LoadedServer& server) {
            if (!server.canUnloadNow || server.canUnloadNow() != S_OK)
                return false;
            unused.push_back(server.module);
            return true;
        });
    }
    for (HMODULE module : unused)
        FreeLibrary(module);
}
