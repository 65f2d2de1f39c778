#pragma once
// Text at the edge of the Windows API: wide strings there, UTF-8 everywhere else.
#include <string>

#include "host/NativeText.h"

// Quotes one argument so that CommandLineToArgvW gives it back unchanged: backslashes before a
// quotation mark, and before the closing one, are doubled.
std::wstring QuoteArgument(const std::wstring& argument);

