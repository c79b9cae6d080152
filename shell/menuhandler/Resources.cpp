#include "Resources.h"

#include "Tallowick.h"
#include "kernel/Resources.h"

namespace {

const com::TypeInterfaceDescription kInterfaces[] = {
    {u"IMenuHandler", &IID_IMenuHandler, u"IMenuHandler Interface", com::InterfaceKind::Dual},
};
const com::TypeClassDescription kClasses[] = {
    {u"MenuHandler", &CLSID_MenuHandler, u"MenuHandler Class", &IID_IMenuHandler},
};
// IDispatch, which IMenuHandler derives from, comes from the standard library.
const LPCOLESTR kImports[] = {u"stdole2.tlb"};

// The class with its ProgIDs, the container file type whose open command is the opener (the doubled
// percent sign reaches the registry as one, for the shell to put the file's path there), and the New
// menu's entry. The shared keys above the class and the New menu's entry are never removed.
constexpr char16_t kMenuHandlerScript[] = uR"(HKCR
{
    Tallowick.MenuHandler.1 = s 'MenuHandler Class'
    {
        CLSID = s '{7EB8A0D7-7D17-44CC-A74A-00DC6AB30734}'
    }
    Tallowick.MenuHandler = s 'MenuHandler Class'
    {
        CLSID = s '{7EB8A0D7-7D17-44CC-A74A-00DC6AB30734}'
        CurVer = s 'Tallowick.MenuHandler.1'
    }
    NoRemove CLSID
    {
        ForceRemove {7EB8A0D7-7D17-44CC-A74A-00DC6AB30734} = s 'MenuHandler Class'
        {
            ProgID = s 'Tallowick.MenuHandler.1'
            VersionIndependentProgID = s 'Tallowick.MenuHandler'
            ForceRemove 'Programmable'
            InprocServer32 = s '%MODULE%'
            'TypeLib' = s '{B11EF4E8-FB4A-4A97-A54C-D0FECEA8D5A2}'
        }
    }
    .fvc = s 'FerrovaneContainer'
    FerrovaneContainer
    {
        DefaultIcon = s '\program files\ferrovane\ferrovane.exe,-145'
        Shell
        {
            Open
            {
                Command = s 'Drovel.exe  %%1'
            }
        }
    }
}
HKLM
{
    NoRemove SOFTWARE
    {
        NoRemove Microsoft
        {
            NoRemove Shell
            {
                NoRemove Extensions
                {
                    NoRemove NewMenu
                    {
                        ForceRemove {7EB8A0D7-7D17-44CC-A74A-00DC6AB30734} = s 'Encrypted Folder'
                        {
                            val Enabled = d 1
                        }
                    }
                }
            }
        }
    }
}
)";

// String block 7 holds the strings 96 to 111, each a length and its units; the project's name is 100.
constexpr char16_t kStringBlock7[] = {0, 0, 0, 0, 9, u'T', u'a', u'l', u'l', u'o', u'w', u'i', u'c', u'k'};

} // namespace

const com::TypeLibraryDescription kTallowickTypeLibrary = {
    u"TALLOWICKLib", &LIBID_TALLOWICKLib, 1, 0, u"Tallowick 1.0 Type Library", kInterfaces, kClasses,
    kImports};

namespace {

const kernel::ResourceEntry kResources[] = {
    // Without its terminator, as a resource compiler stores a script.
    {u"REGISTRY", MAKEINTRESOURCE(IDR_MENUHANDLER), kMenuHandlerScript,
     sizeof kMenuHandlerScript - sizeof(WCHAR)},
    {u"TYPELIB", MAKEINTRESOURCE(IDR_TYPELIB), &kTallowickTypeLibrary, sizeof kTallowickTypeLibrary},
    {RT_STRING, MAKEINTRESOURCE(IDS_PROJNAME / 16 + 1), kStringBlock7, sizeof kStringBlock7},
};
const kernel::ResourceTable kResourceTable(kResources);

} // namespace
