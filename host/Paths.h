#pragma once
// Paths of files, as the host side needs them.
#include <string>
#include <string_view>

#include "host/NativeText.h"

// The folder of the running program, without a trailing separator.
NativeText ProgramFolder();

// The last part of a path, after its last backslash or slash (UTF-8).
std::string FileNameOf(std::string_view path);
