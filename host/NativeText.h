#pragma once
// Text at the edge of the system's API: UTF-16 for Windows' wide calls, UTF-8 bytes on Linux;
// UTF-8 everywhere else. Part of the host library's public headers (paths are NativeText).
#include <string>

#if defined(_WIN32)
using NativeText = std::wstring;
#else
using NativeText = std::string;
#endif

std::string ToUtf8(const NativeText& text);
NativeText FromUtf8(const std::string& text);

// The system's text for an error code (GetLastError, errno), without the line break it ends
// with, and the code: "Access denied. (error 5)", "No such file or directory (error 2)".
std::string SystemErrorText(unsigned long error);
