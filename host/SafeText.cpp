#include "host/SafeText.h"

#include <algorithm>
#include <cstdio>

#include "protocol/Utf8.h"

namespace {

constexpr char32_t kReplacement = 0xFFFD;
constexpr char32_t kControlPictures = 0x2400;  // U+2400 shows U+0000, and so on up to U+241F
constexpr char32_t kDeletePicture = 0x2421;

bool IsBidiControl(char32_t c) { return (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069); }

bool IsInvisibleControl(char32_t c) { return c < 0x20 || c == 0x7F || (c >= 0x80 && c <= 0x9F) || IsBidiControl(c); }

// The code point at `at`, and its length in bytes; an ill-formed sequence is one byte of U+FFFD.
char32_t Decode(std::string_view text, size_t at, size_t& length)
{
    const unsigned char lead = static_cast<unsigned char>(text[at]);
    length = 1;
    if (lead < 0x80) return lead;
    const size_t trailing = lead >= 0xC2 && lead <= 0xDF ? 1 : lead >= 0xE0 && lead <= 0xEF ? 2 : lead >= 0xF0 && lead <= 0xF4 ? 3 : 0;
    if (trailing == 0 || at + trailing >= text.size()) return kReplacement;
    char32_t c = lead & (0x3F >> trailing);
    for (size_t i = 1; i <= trailing; ++i) {
        const unsigned char next = static_cast<unsigned char>(text[at + i]);
        if ((next & 0xC0) != 0x80) return kReplacement;
        c = c << 6 | (next & 0x3F);
    }
    const char32_t smallest[] = {0, 0x80, 0x800, 0x10000};
    if (c < smallest[trailing] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return kReplacement;
    length = trailing + 1;
    return c;
}

size_t CellsOf(char32_t c)
{
    struct CRange {
        char32_t first, last;
    };
    static constexpr CRange kZeroWidth[] = {{0x0300, 0x036F}, {0x0483, 0x0489}, {0x0591, 0x05BD}, {0x0610, 0x061A},
                                            {0x064B, 0x065F}, {0x0E31, 0x0E31}, {0x0E34, 0x0E3A}, {0x1AB0, 0x1AFF},
                                            {0x1DC0, 0x1DFF}, {0x200B, 0x200F}, {0x2060, 0x2064}, {0x20D0, 0x20FF},
                                            {0xFE00, 0xFE0F}, {0xFE20, 0xFE2F}, {0xFEFF, 0xFEFF}, {0xE0100, 0xE01EF}};
    static constexpr CRange kWide[] = {{0x1100, 0x115F},   {0x2E80, 0x303E},   {0x3041, 0x33FF},  {0x3400, 0x4DBF},
                                       {0x4E00, 0x9FFF},   {0xA000, 0xA4CF},   {0xAC00, 0xD7A3},  {0xF900, 0xFAFF},
                                       {0xFE30, 0xFE4F},   {0xFF00, 0xFF60},   {0xFFE0, 0xFFE6},  {0x1F300, 0x1F64F},
                                       {0x1F900, 0x1F9FF}, {0x20000, 0x2FFFD}, {0x30000, 0x3FFFD}};
    for (const CRange& range : kZeroWidth)
        if (c >= range.first && c <= range.last) return 0;
    for (const CRange& range : kWide)
        if (c >= range.first && c <= range.last) return 2;
    return 1;
}

}  // namespace

size_t TerminalWidth(std::string_view text)
{
    size_t cells = 0;
    for (size_t at = 0, length = 0; at < text.size(); at += length) cells += CellsOf(Decode(text, at, length));
    return cells;
}

std::string ClipToWidth(std::string_view text, size_t width)
{
    if (TerminalWidth(text) <= width) return std::string(text);
    const size_t room = width > 3 ? width - 3 : 0;
    size_t cells = 0, at = 0;
    while (at < text.size()) {
        size_t length = 0;
        const size_t next = CellsOf(Decode(text, at, length));
        if (cells + next > room) break;
        cells += next;
        at += length;
    }
    return std::string(text.substr(0, at)) + "...";
}

std::string TerminalSafe(std::string_view text)
{
    std::string safe;
    safe.reserve(text.size());
    for (size_t at = 0, length = 0; at < text.size(); at += length) {
        const char32_t c = Decode(text, at, length);
        if (c < 0x20) AppendUtf8(safe, kControlPictures + c);
        else if (c == 0x7F) AppendUtf8(safe, kDeletePicture);
        else if (IsInvisibleControl(c)) AppendUtf8(safe, kReplacement);
        else AppendUtf8(safe, c);
    }
    return safe;
}

std::string EscapeInvisibleInJson(std::string_view json)
{
    std::string escaped;
    escaped.reserve(json.size());
    for (size_t at = 0, length = 0; at < json.size(); at += length) {
        const char32_t c = Decode(json, at, length);
        if (c >= 0x20 && IsInvisibleControl(c)) {
            char unit[8];
            snprintf(unit, sizeof(unit), "\\u%04x", static_cast<unsigned>(c));
            escaped += unit;
        } else {
            escaped.append(json.substr(at, length));
        }
    }
    return escaped;
}

std::string FormulaSafe(std::string text)
{
    if (!text.empty() && std::string_view("=+-@\t\r").find(text.front()) != std::string_view::npos) text.insert(0, 1, '\'');
    return text;
}

std::string ConsoleSafe(std::string_view text)
{
    std::string safe;
    for (size_t start = 0; start <= text.size();) {
        const size_t end = std::min(text.find('\n', start), text.size());
        std::string_view line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        safe += TerminalSafe(line);
        if (end < text.size()) safe += '\n';
        start = end + 1;
    }
    return safe;
}
