#pragma once
#include <windows.h>

// The fixed part of a library file's version resource. False when there is none, silently.
bool ReadFixedFileInfo(const wchar_t* path, VS_FIXEDFILEINFO& info);
