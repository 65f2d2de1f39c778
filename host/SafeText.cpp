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

}  // namespace

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
