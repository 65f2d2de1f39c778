#pragma once
// Text at the edge of the Windows API: wide strings there, UTF-8 everywhere else.
#include <string>

std::string ToUtf8(const std::wstring& text);
std::wstring FromUtf8(const std::string& text);

// Quotes one argument so that CommandLineToArgvW gives it back unchanged: backslashes before a
// quotation mark, and before the closing one, are doubled.
std::wstring QuoteArgument(const std::wstring& argument);

// The system's text for an error code, without the line break it ends with, and the code:
// "Access denied. (error 5)".
std::string SystemErrorText(unsigned long error);
