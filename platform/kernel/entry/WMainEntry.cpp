#include <string>
#include <vector>

#include "kernel/Modules.h"
#include "kernel/Program.h"

int main(int argc, char** argv) {
    kernel::BeginProgram();
    std::vector<std::u16string> arguments =
        kernel::SplitCommandLine(kernel::TakeProgramCommandLine(argc, argv));
    arguments.insert(arguments.begin(), kernel::ProgramDevicePath());
    std::vector<WCHAR*> pointers;
    for (auto& argument : arguments)
        pointers.push_back(argument.data());
    pointers.push_back(nullptr);
    int result = wmain(static_cast<int>(arguments.size()), pointers.data());
    kernel::EndProgram();
    return result;
}
