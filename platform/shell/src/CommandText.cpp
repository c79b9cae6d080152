#include "CommandText.h"

namespace shell::detail {

void SplitCommand(const std::u16string& command, std::u16string* program, std::u16string* arguments) {
    size_t start = command.find_first_not_of(u' ');
    if (start == std::u16string::npos) {
        program->clear();
        arguments->clear();
        return;
    }
    size_t end;
    if (command[start] == u'"') {
        end = command.find(u'"', start + 1);
        *program =
            command.substr(start + 1, end == std::u16string::npos ? std::u16string::npos : end - start - 1);
        end = end == std::u16string::npos ? command.size() : end + 1;
    } else {
        end = command.find(u' ', start);
        if (end == std::u16string::npos)
            end = command.size();
        *program = command.substr(start, end - start);
    }
    size_t rest = command.find_first_not_of(u' ', end);
    *arguments = rest == std::u16string::npos ? std::u16string() : command.substr(rest);
}

} // namespace shell::detail
