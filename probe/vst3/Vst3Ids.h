#pragma once
// VST 3 interface and class ids: 16 bytes, and their text as it is written in a plug-in's
// source: 32 upper-case hex digits, the four 32-bit numbers of the id in order. The bytes'
// layout is the platform's: on Windows the COM GUID layout (Data1 as a 32-bit and Data2, Data3
// as 16-bit little-endian numbers, then 8 bytes as written); elsewhere the VST 3 ABI is not
// COM's, and the four numbers are stored big-endian. Platform-free: both layouts are here.
#include <array>
#include <cstdint>
#include <string>

using CTuid = std::array<uint8_t, 16>;

enum class TuidLayout { kCom, kBigEndian };
#if defined(_WIN32)
constexpr TuidLayout kTuidLayout = TuidLayout::kCom;
#else
constexpr TuidLayout kTuidLayout = TuidLayout::kBigEndian;
#endif

// The id a plug-in's source writes as four 32-bit numbers (0x0A1B2C3D, 0x4E5F6071, 0x8293A4B5, 0xC6D7E8F9).
// COM: Data1 = l1, Data2 and Data3 the halves of l2, then l3 and l4 big-endian.
constexpr CTuid MakeTuidIn(TuidLayout layout, uint32_t l1, uint32_t l2, uint32_t l3, uint32_t l4)
{
    const auto byte = [](uint32_t value, int shift) { return static_cast<uint8_t>(value >> shift); };
    if (layout == TuidLayout::kBigEndian)
        return {byte(l1, 24), byte(l1, 16), byte(l1, 8), byte(l1, 0), byte(l2, 24), byte(l2, 16), byte(l2, 8), byte(l2, 0),
                byte(l3, 24), byte(l3, 16), byte(l3, 8), byte(l3, 0), byte(l4, 24), byte(l4, 16), byte(l4, 8), byte(l4, 0)};
    return {byte(l1, 0),  byte(l1, 8),  byte(l1, 16), byte(l1, 24), byte(l2, 16), byte(l2, 24), byte(l2, 0), byte(l2, 8),
            byte(l3, 24), byte(l3, 16), byte(l3, 8),  byte(l3, 0),  byte(l4, 24), byte(l4, 16), byte(l4, 8), byte(l4, 0)};
}

constexpr CTuid MakeTuid(uint32_t l1, uint32_t l2, uint32_t l3, uint32_t l4)
{
    return MakeTuidIn(kTuidLayout, l1, l2, l3, l4);
}

// "0A1B2C3D4E5F60718293A4B5C6D7E8F9" for the COM bytes 3D 2C 1B 0A 5F 4E 71 60 82 93 A4 B5 C6 D7 E8 F9.
std::u16string TuidText(const uint8_t* id, TuidLayout layout = kTuidLayout);

bool SameTuid(const uint8_t* a, const uint8_t* b);
