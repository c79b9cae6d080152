#pragma once
// MenuHandler, the class that the shell creates when the user chooses "Encrypted Folder" in its New
// menu. The object has no state: its construction wakes the running main program with a request to
// create a container, or starts the main program with "-new" when none runs.

#include "Resources.h"
#include "Tallowick.h"
#include "com/Server.h"

class CMenuHandler : public CComObjectRootEx<CComMultiThreadModel>,
                     public CComCoClass<CMenuHandler, &CLSID_MenuHandler>,
                     public ISupportErrorInfo,
                     public IDispatchImpl<IMenuHandler, &IID_IMenuHandler, &kTallowickTypeLibrary> {
public:
    // Does the object's whole work, also when the creation then fails for want of an interface.
    CMenuHandler();

    DECLARE_REGISTRY_RESOURCEID(IDR_MENUHANDLER)

    BEGIN_COM_MAP(CMenuHandler)
    COM_INTERFACE_ENTRY(IMenuHandler)
    COM_INTERFACE_ENTRY(IDispatch)
    COM_INTERFACE_ENTRY(ISupportErrorInfo)
    END_COM_MAP()

    HRESULT FinalConstruct() { return S_OK; }

    // S_OK for IMenuHandler alone.
    STDMETHODIMP InterfaceSupportsErrorInfo(REFIID riid) override;
};
