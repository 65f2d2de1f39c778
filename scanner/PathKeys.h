#pragma once
// Paths as the Windows file system sees them: one file has one key, however it was named.
#include <string>

// The full path with long names. A path that starts with "/" is a Linux path when we run
// under Wine, and becomes the drive path Wine gives it. Paths of any length the system takes
// (32,767 units). Empty when the system cannot make a full path of it.
std::wstring NormalPath(const std::wstring& given);

// The key of a normal path (UTF-8): compared without case, as the file system compares names.
std::string PathKey(const std::string& path);
