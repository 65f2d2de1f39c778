#pragma once
#include <windows.h>

// The read end of the request pipe; null when the server only shows its window.
extern HANDLE InputHandle;
// Where every output line goes: the host's pipe, else standard output.
extern HANDLE OutputHandle;
