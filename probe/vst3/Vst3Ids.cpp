#include "probe/vst3/Vst3Ids.h"

#include <cstring>

std::u16string TuidText(const uint8_t* id, TuidLayout layout)
{
    // COM's Data1, Data2 and Data3 are little-endian numbers; the text shows them most
    // significant digit first. The last 8 bytes, and every byte of the other layout, are
    // written as they are.
    static const int kComOrder[16] = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
    static const int kPlainOrder[16] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};
    const int* order = layout == TuidLayout::kCom ? kComOrder : kPlainOrder;
    const char16_t* digits = u"0123456789ABCDEF";
    std::u16string text;
    for (int i = 0; i < 16; ++i) {
        text += digits[id[order[i]] >> 4];
        text += digits[id[order[i]] & 0xF];
    }
    return text;
}

bool SameTuid(const uint8_t* a, const uint8_t* b) { return std::memcmp(a, b, 16) == 0; }
