#pragma once
// Wide formatting with the Windows runtime's conventions, independent of the C runtime that
// happens to be linked: "%s" is a UTF-16 string, "%S" an 8-bit one (each byte widened to the
// unit of the same value), "%p" sixteen upper-case hex digits. mingw's C++ mode swaps the
// meaning of "%s" and "%S" in the runtime's own wide printf, so we do not use it.
#include <cstdarg>
#include <string>

// Formats into `out` (replacing its contents). Returns false on a format it does not know,
// leaving `out` empty, as a measuring call that fails counts as an empty text.
// With `escapeLineBreaks`, a line feed or carriage return inside a string or character
// argument is written as the two characters \n or \r, so text from outside cannot start a
// line of its own on the output pipe; the format's own characters are never changed.
bool VFormatString(std::u16string& out, const char16_t* format, va_list arguments,
                   bool escapeLineBreaks);

std::u16string FormatString(const char16_t* format, ...);

// A number with `decimals` digits after a point, "-0.5" and "12.000": always a point and never
// a thousands separator, whatever locale a plug-in left the process in.
std::u16string FormatDecimal(double value, int decimals);
