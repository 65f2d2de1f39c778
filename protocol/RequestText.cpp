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

std::string ForbiddenPathCharacter(const std::string& path, bool windowsNames)
{
    if (path.find('>') != std::string::npos) return "'>'";
    const size_t name = path.find_last_of("\\/");
    const size_t from = name == std::string::npos ? 0 : name + 1;
    const size_t at = windowsNames ? path.find_first_of("<\"|?*", from) : std::string::npos;
    if (at != std::string::npos) return std::string("'") + path[at] + "'";
    for (size_t i = from; i < path.size(); ++i)
        if (path[i] >= 1 && path[i] <= 31) {
            static const char kHex[] = "0123456789ABCDEF";
            return std::string("a control character (0x") + kHex[path[i] >> 4] + kHex[path[i] & 15] + ")";
        }
    return "";
}
