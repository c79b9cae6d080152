#pragma once
// Tallowick's resources: its registration script, its type library and its name.

#include "com/TypeLibrary.h"

#define IDS_PROJNAME 100
#define IDR_MENUHANDLER 101
// The type library is resource 1 of type "TYPELIB"; its bytes are the library's description.
#define IDR_TYPELIB 1

// TALLOWICKLib 1.0, importing stdole2.tlb: the dual interface IMenuHandler and the class MenuHandler.
extern const com::TypeLibraryDescription kTallowickTypeLibrary;
