#include "MenuHandler.h"

#include "common/CopyData.h"
#include "common/MainProgram.h"

CMenuHandler::CMenuHandler() {
    if (HWND mainWindow = shell_entry::FindMainWindow())
        shell_entry::SendRequest(mainWindow, COPYDATA_NEW_CONTAINER, nullptr);
    else
        shell_entry::StartMainProgram(u"-new");
}

STDMETHODIMP CMenuHandler::InterfaceSupportsErrorInfo(REFIID riid) {
    return riid == IID_IMenuHandler ? S_OK : S_FALSE;
}
