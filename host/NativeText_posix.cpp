#include "host/NativeText.h"

#include <cstring>

#include "protocol/Utf8.h"

// Linux's names are bytes, mostly UTF-8: those that are not travel escaped, without loss.
std::string ToUtf8(const NativeText& text) { return EscapeNameBytes(text); }
NativeText FromUtf8(const std::string& text) { return UnescapeNameBytes(text); }

std::string SystemErrorText(unsigned long error)
{
    char buffer[256] = {};
    // The GNU strerror_r: the text may or may not be in the buffer.
    const char* text = strerror_r(static_cast<int>(error), buffer, sizeof(buffer));
    return std::string(text ? text : "") + " (error " + std::to_string(error) + ")";
}
