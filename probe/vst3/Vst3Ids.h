#pragma once
// VST 3 interface and class ids: 16 bytes in the COM GUID layout on Windows (Data1 as a 32-bit
// and Data2, Data3 as 16-bit little-endian numbers, then 8 bytes as written), and their text
// as it is written in a plug-in's source: 32 upper-case hex digits in GUID text order.
// Platform-free.
#include <array>
#include <cstdint>
#include <string>

using CTuid = std::array<uint8_t, 16>;

// The id a plug-in's source writes as four 32-bit numbers (0x0A1B2C3D, 0x4E5F6071, 0x8293A4B5, 0xC6D7E8F9):
// Data1 = l1, Data2 and Data3 the halves of l2, then l3 and l4 big-endian.
constexpr CTuid MakeTuid(uint32_t l1, uint32_t l2, uint32_t l3, uint32_t l4)
{
    return {static_cast<uint8_t>(l1), static_cast<uint8_t>(l1 >> 8), static_cast<uint8_t>(l1 >> 16),
            static_cast<uint8_t>(l1 >> 24), static_cast<uint8_t>(l2 >> 16), static_cast<uint8_t>(l2 >> 24),
            static_cast<uint8_t>(l2), static_cast<uint8_t>(l2 >> 8), static_cast<uint8_t>(l3 >> 24),
            static_cast<uint8_t>(l3 >> 16), static_cast<uint8_t>(l3 >> 8), static_cast<uint8_t>(l3),
            static_cast<uint8_t>(l4 >> 24), static_cast<uint8_t>(l4 >> 16), static_cast<uint8_t>(l4 >> 8),
            static_cast<uint8_t>(l4)};
}

// "0A1B2C3D4E5F60718293A4B5C6D7E8F9" for the bytes 3D 2C 1B 0A 5F 4E 71 60 82 93 A4 B5 C6 D7 E8 F9.
std::u16string TuidText(const uint8_t* id);

bool SameTuid(const uint8_t* a, const uint8_t* b);
