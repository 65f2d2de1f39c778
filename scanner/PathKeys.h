#pragma once
// Paths as the file system sees them: one file has one key, however it was named.
#include <string>

#include "host/NativeText.h"

// The full path. On Windows with long names; a path that starts with "/" is a Linux path when
// we run under Wine, and becomes the drive path Wine gives it; paths of any length the system
// takes (32,767 units). On Linux absolute, without "." and ".." and doubled separators; links
// are kept as named. Empty when the system cannot make a full path of it.
NativeText NormalPath(const NativeText& given);

// The key of a normal path (UTF-8): on Windows compared without case, as the file system
// compares names; on Linux the path itself.
std::string PathKey(const std::string& path);
