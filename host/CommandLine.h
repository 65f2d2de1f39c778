#pragma once
#include <string>

// Quotes one argument so that CommandLineToArgvW gives it back unchanged: backslashes before a
// quotation mark, and before the closing one, are doubled.
std::wstring QuoteArgument(const std::wstring& argument);
