#include <string>

#include "kernel/Modules.h"
#include "kernel/Program.h"

namespace {
constexpr int kShowCommand = 5; // SW_SHOW
}

int main(int argc, char** argv) {
    kernel::BeginProgram();
    std::u16string commandLine = kernel::TakeProgramCommandLine(argc, argv);
    int result = WinMain(GetModuleHandleW(nullptr), nullptr, commandLine.data(), kShowCommand);
    kernel::EndProgram();
    return result;
}
