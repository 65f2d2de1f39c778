#pragma once
// What the scanner takes when it is not told: the scan servers beside it and the folder for
// crash dumps, as this platform has them.
#include "host/NativeText.h"

// The server for the machine's own plug-ins, and the one for 32-bit plug-ins where there is
// one ("" where there is none).
extern const char* const kServerName;
extern const char* const kServerNameX86;
// A folder under the system's temporary one, and how the help names it.
NativeText DefaultDumpFolder();
extern const char* const kDefaultDumpFolderText;
