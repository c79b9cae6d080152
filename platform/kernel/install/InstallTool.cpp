// Installs the files of a device-file manifest into a device root: ferrovane_device_install MANIFEST ROOT.

#include <cstdio>

#include "kernel/DeviceRoot.h"
#include "kernel/Install.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s MANIFEST DEVICE-ROOT\n",
                     argc > 0 ? argv[0] : "ferrovane_device_install");
        return 2;
    }
    kernel::SetDeviceRoot(argv[2]);
    if (DWORD error = kernel::InstallDeviceManifest(argv[1])) {
        std::fprintf(stderr, "installing %s into %s failed with error %u\n", argv[1], argv[2],
                     static_cast<unsigned>(error));
        return 1;
    }
    return 0;
}
