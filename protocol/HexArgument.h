#pragma once
#include <cstdint>

// The value of one hexadecimal digit, or -1 for any other character.
int HexDigitValue(char16_t c);

// Reads bare hexadecimal digits until the first other character. No prefix, sign or blank is
// skipped: "0x1A4" gives 0. Of more than 16 digits only the last 16 count.
uint64_t ParseHexArgument(const char16_t* argument);
