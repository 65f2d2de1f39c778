#pragma once
// What a plug-in leaves behind when its library is freed: windows of the server's thread whose
// procedure or class is in the freed code. A timer of such a window, or any message to it, would run code that is no
// longer there, on the server's own thread, in the middle of the next plug-in's scan. They
// are destroyed harmlessly and named in a warning, so that the host blames the plug-in that
// left them and retires the server before it serves another.
#include <windows.h>

#include "protocol/LeftBehind.h"

// Frees the library; when that unloads it, sweeps what it left.
void FreeLibraryAndSweep(HMODULE module);
