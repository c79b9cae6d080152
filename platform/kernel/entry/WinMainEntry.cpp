#include <string>

#include "kernel/Modules.h"
#include "kernel/Program.h"

namespace {
constexpr int kShowCommand = 5; // SW_SHOW
}

int main(int argc, char** argv) {
    std::u16string commandLine = kernel::TakeProgramCommandLine(argc, argv);
    return WinMain(GetModuleHandleW(nullptr), nullptr, commandLine.data(), kShowCommand);
}
