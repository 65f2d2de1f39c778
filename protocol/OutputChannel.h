#pragma once
#include <windows.h>

// Where every output line goes: the host's pipe, else standard output.
extern HANDLE OutputHandle;
