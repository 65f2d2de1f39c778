#pragma once
// What the command's process entry gives the rest: the arguments as UTF-8, and where crash
// dumps go when no folder is asked for.
#include <string>
#include <vector>

#include "host/NativeText.h"

// The whole run; its exit code.
int RunScanner(const std::vector<std::string>& arguments);
// A folder under the system's temporary one.
NativeText DefaultDumpFolder();

// The scan servers beside the command: the one for the machine's own plug-ins, and the one for
// 32-bit plug-ins where there is one ("" where there is none).
extern const char* const kServerName;
extern const char* const kServerNameX86;
