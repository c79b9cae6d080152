#pragma once
// The shell's split of a command line (an open command, a shortcut's target) into its program, quoted or up
// to the first blank, and the rest, with the blanks between them dropped.

#include <string>

namespace shell::detail {

void SplitCommand(const std::u16string& command, std::u16string* program, std::u16string* arguments);

} // namespace shell::detail
