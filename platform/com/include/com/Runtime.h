#pragma once
// The COM run time: per-thread initialisation, task memory, and the creation of objects of in-process
// servers.
//
// A class is found among the platform's built-in classes (BuiltInClasses.h) first, then under
// HKEY_CLASSES_ROOT\CLSID\{clsid}\InprocServer32, whose default value names the server library (a device
// path, or a name that LoadLibraryW searches for). The run time loads a server once and keeps it loaded
// until CoFreeUnusedLibraries, or the last CoUninitialize of the process, finds that its DllCanUnloadNow
// answers S_OK; a server without DllCanUnloadNow stays loaded. Creating objects needs a thread that has
// called CoInitializeEx (CO_E_NOTINITIALIZED otherwise).

#include "com/Unknown.h"
#include "crt/Types.h"

#define COINIT_MULTITHREADED 0x0
#define COINIT_APARTMENTTHREADED 0x2
#define COINIT_DISABLE_OLE1DDE 0x4
#define COINIT_SPEED_OVER_MEMORY 0x8

#define CLSCTX_INPROC_SERVER 0x1
#define CLSCTX_INPROC_HANDLER 0x2
#define CLSCTX_LOCAL_SERVER 0x4
#define CLSCTX_REMOTE_SERVER 0x10
#define CLSCTX_INPROC (CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER)
#define CLSCTX_SERVER (CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER | CLSCTX_REMOTE_SERVER)
#define CLSCTX_ALL (CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER | CLSCTX_LOCAL_SERVER | CLSCTX_REMOTE_SERVER)

// The exports of an in-process server.
using LPFNGETCLASSOBJECT = HRESULT (*)(REFCLSID rclsid, REFIID riid, LPVOID* ppv);
using LPFNCANUNLOADNOW = HRESULT (*)();

// S_OK for the thread's first initialisation, S_FALSE for each further one (each needs its own
// CoUninitialize), RPC_E_CHANGED_MODE when the thread was initialised with the other threading model,
// E_INVALIDARG when pvReserved is not NULL.
HRESULT CoInitializeEx(LPVOID pvReserved, DWORD dwCoInit);
// Ends one initialisation of the thread; nothing when the thread is not initialised.
void CoUninitialize();

// Only in-process servers are served: a context without CLSCTX_INPROC_SERVER gives REGDB_E_CLASSNOTREG.
// REGDB_E_CLASSNOTREG for an unknown class, CO_E_DLLNOTFOUND when the server file is missing,
// CO_E_ERRORINDLL when it is no library, refuses to load or has no DllGetClassObject. *ppv is NULL on
// every failure; E_INVALIDARG when ppv is NULL. pvReserved (a server description) is ignored.
HRESULT CoGetClassObject(REFCLSID rclsid, DWORD dwClsContext, LPVOID pvReserved, REFIID riid, LPVOID* ppv);
// CoGetClassObject for IClassFactory, then its CreateInstance.
HRESULT CoCreateInstance(REFCLSID rclsid, LPUNKNOWN pUnkOuter, DWORD dwClsContext, REFIID riid, LPVOID* ppv);
// Frees every loaded server whose DllCanUnloadNow answers S_OK.
void CoFreeUnusedLibraries();

// Memory that one side allocates and the other frees. CoTaskMemAlloc(0) gives a valid block.
LPVOID CoTaskMemAlloc(SIZE_T cb);
void CoTaskMemFree(LPVOID pv);
