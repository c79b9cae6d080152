// FerrovaneEx: the application object, which the class library's WinMain runs.

#include "ManagerApp.h"

CManagerApp theApp;
