#include "protocol/Utf8.h"

#include <cstdint>

namespace {

constexpr char32_t kReplacement = 0xFFFD;

}  // namespace

void AppendUtf8(std::string& out, char32_t c)
{
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

namespace {

void AppendUtf16(std::u16string& out, char32_t c)
{
    if (c < 0x10000) {
        out += static_cast<char16_t>(c);
    } else {
        c -= 0x10000;
        out += static_cast<char16_t>(0xD800 + (c >> 10));
        out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
    }
}

}  // namespace

std::string ToUtf8(std::u16string_view text)
{
    std::string out;
    out.reserve(text.size() * 3);
    for (size_t i = 0; i < text.size(); ++i) {
        const char16_t unit = text[i];
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            AppendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (text[i + 1] - 0xDC00));
            ++i;
        } else if (unit >= 0xD800 && unit <= 0xDFFF) {
            AppendUtf8(out, kReplacement);
        } else {
            AppendUtf8(out, unit);
        }
    }
    return out;
}

// Decodes as the system's conversion does without flags: a sequence that breaks off becomes
// one U+FFFD. The byte that shows an overlong form, a surrogate or a value past U+10FFFF is
// taken into that sequence when it is a continuation byte; any other breaking byte starts
// anew.
std::u16string Utf8ToUtf16(std::string_view bytes)
{
    std::u16string out;
    out.reserve(bytes.size());
    size_t i = 0;
    while (i < bytes.size()) {
        const unsigned char lead = static_cast<unsigned char>(bytes[i]);
        if (lead < 0x80) {
            out += static_cast<char16_t>(lead);
            ++i;
            continue;
        }
        const int trailing = lead >= 0xC2 && lead <= 0xDF ? 1 : lead >= 0xE0 && lead <= 0xEF ? 2
                           : lead >= 0xF0 && lead <= 0xF4 ? 3 : 0;
        static constexpr unsigned char kLeadMask[] = {0x7F, 0x1F, 0x0F, 0x07};
        char32_t c = lead & kLeadMask[trailing];
        size_t j = i + 1;
        // Takes the next continuation byte into c; false when there is none.
        auto take = [&]() {
            if (j >= bytes.size()) return false;
            const unsigned char bits = static_cast<unsigned char>(bytes[j]) ^ 0x80;
            if (bits >= 0x40) return false;
            c = (c << 6) | bits;
            ++j;
            return true;
        };
        bool valid = false;
        switch (trailing) {
        case 3:
            if (!take() || c < 0x10 || c >= 0x110) break;
            [[fallthrough]];
        case 2:
            if (!take() || c < 0x20 || (c >= 0x360 && c < 0x380)) break;
            [[fallthrough]];
        case 1:
            valid = take() && c >= 0x80;
            break;
        default:
            break;
        }
        AppendUtf16(out, valid ? c : kReplacement);
        i = j;
    }
    return out;
}

std::u16string WidenBytes(std::string_view bytes)
{
    std::u16string out;
    out.reserve(bytes.size());
    for (char b : bytes) out += static_cast<char16_t>(static_cast<unsigned char>(b));
    return out;
}

namespace {

constexpr char32_t kFirstEscape = 0xF780, kLastEscape = 0xF7FF, kEscapeBase = 0xF700;

// The well-formed UTF-8 sequence at `at` and its code point; 0 when there is none.
size_t DecodeOne(std::string_view bytes, size_t at, char32_t& c)
{
    const unsigned char lead = static_cast<unsigned char>(bytes[at]);
    if (lead < 0x80) {
        c = lead;
        return 1;
    }
    const size_t length = lead >= 0xC2 && lead <= 0xDF ? 2 : lead >= 0xE0 && lead <= 0xEF ? 3 : lead >= 0xF0 && lead <= 0xF4 ? 4 : 0;
    if (length == 0 || at + length > bytes.size()) return 0;
    c = lead & (length == 2 ? 0x1F : length == 3 ? 0x0F : 0x07);
    for (size_t k = 1; k < length; ++k) {
        const unsigned char bits = static_cast<unsigned char>(bytes[at + k]) ^ 0x80;
        if (bits >= 0x40) return 0;
        c = (c << 6) | bits;
    }
    const char32_t least = length == 2 ? 0x80 : length == 3 ? 0x800 : 0x10000;
    if (c < least || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return 0;
    return length;
}

}  // namespace

std::string EscapeNameBytes(std::string_view bytes)
{
    std::string out;
    out.reserve(bytes.size());
    for (size_t i = 0; i < bytes.size();) {
        char32_t c = 0;
        const size_t length = DecodeOne(bytes, i, c);
        if (length > 0 && (c < kFirstEscape || c > kLastEscape)) {
            out.append(bytes.substr(i, length));
            i += length;
        } else {
            AppendUtf8(out, kEscapeBase + static_cast<unsigned char>(bytes[i]));
            ++i;
        }
    }
    return out;
}

std::string UnescapeNameBytes(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        char32_t c = 0;
        const size_t length = DecodeOne(text, i, c);
        if (length == 0) {
            out += text[i++];  // not from EscapeNameBytes: kept as it is
        } else if (c >= kFirstEscape && c <= kLastEscape) {
            out += static_cast<char>(c - kEscapeBase);
            i += length;
        } else {
            out.append(text.substr(i, length));
            i += length;
        }
    }
    return out;
}
