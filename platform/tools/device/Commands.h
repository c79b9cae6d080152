#pragma once
// The device tool's commands. Each takes the words after its name and returns the process's exit code:
// 0 done, 1 failed (the reason on standard error), 2 used wrongly.

#include <string>
#include <vector>

namespace device_tool {

using Words = std::vector<std::string>;

int Install(const Words& words);
int Start(const Words& words);
int Boot(const Words& words);
int NewMenu(const Words& words);
int Open(const Words& words);
int Registry(const Words& words);

int Wait(const Words& words);
int ListWindows(const Words& words);
int Items(const Words& words);
int Tap(const Words& words);
int DoubleTap(const Words& words);
int Drag(const Words& words);
int Key(const Words& words);
int Text(const Words& words);
int Screenshot(const Words& words);

int Mount(const Words& words);
int Unmount(const Words& words);
int Mounts(const Words& words);

// Reports a failure with the platform's error number; returns 1.
int Fail(const std::string& what, unsigned long error);
// Reports wrong use of a command; returns 2.
int Usage(const std::string& what);

} // namespace device_tool
