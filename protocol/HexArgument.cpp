#include "protocol/HexArgument.h"

int HexDigitValue(char16_t c)
{
    if (c >= u'0' && c <= u'9') return c - u'0';
    if (c >= u'a' && c <= u'f') return c - u'a' + 10;
    if (c >= u'A' && c <= u'F') return c - u'A' + 10;
    return -1;
}

uint64_t ParseHexArgument(const char16_t* argument)
{
    uint64_t value = 0;
    if (argument == nullptr) return 0;
    for (const char16_t* p = argument; HexDigitValue(*p) >= 0; ++p) value = (value << 4) + HexDigitValue(*p);
    return value;
}
