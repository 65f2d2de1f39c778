#include "host/NativeText.h"

#include <cstring>

// Linux's own texts are UTF-8 already.
std::string ToUtf8(const NativeText& text) { return text; }
NativeText FromUtf8(const std::string& text) { return text; }

std::string SystemErrorText(unsigned long error)
{
    char buffer[256] = {};
    // The GNU strerror_r: the text may or may not be in the buffer.
    const char* text = strerror_r(static_cast<int>(error), buffer, sizeof(buffer));
    return std::string(text ? text : "") + " (error " + std::to_string(error) + ")";
}
