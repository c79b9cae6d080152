#include "classlib/App.h"
#include "kernel/Program.h"

int WinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPWSTR lpCmdLine, int nShowCmd) {
    return AfxWinMain(hInstance, hPrevInstance, lpCmdLine, nShowCmd);
}
