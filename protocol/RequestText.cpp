#include "protocol/RequestText.h"

#include <cstring>

bool IsOverlongRead(const char* bytes, size_t count)
{
    return count >= kRequestBufferSize && std::memchr(bytes, '\n', count) == nullptr;
}

std::string CutRequestText(const char* bytes, size_t count)
{
    size_t length = 0;
    while (length < count && bytes[length] != '\n' && bytes[length] != '\0') ++length;
    return std::string(bytes, length);
}
