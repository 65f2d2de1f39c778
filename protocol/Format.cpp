#include "protocol/Format.h"

#include <charconv>
#include <cstdint>

namespace {

struct CConversion {
    bool leftAlign = false, plusSign = false, blankSign = false, alternate = false, zeroPad = false;
    int width = 0;
    int precision = -1;
    enum { kDefault, kShort, kLong, kLongLong, kPointerSized } length = kDefault;
    bool explicitWide = false;  // "l" or "w" on a string or character
    bool explicitNarrow = false;  // "h" on a string or character
};

void AppendPadded(std::u16string& out, const std::u16string& body, const CConversion& c)
{
    const int padding = c.width - static_cast<int>(body.size());
    if (padding > 0 && !c.leftAlign) out.append(padding, u' ');
    out += body;
    if (padding > 0 && c.leftAlign) out.append(padding, u' ');
}

void AppendTextUnit(std::u16string& body, char16_t unit, bool escapeLineBreaks)
{
    if (escapeLineBreaks && unit == u'\n') body += u"\\n";
    else if (escapeLineBreaks && unit == u'\r') body += u"\\r";
    else body += unit;
}

std::u16string Digits(uint64_t value, unsigned base, bool upper)
{
    const char* digitSet = upper ? "0123456789ABCDEF" : "0123456789abcdef";
    std::u16string reversed;
    do {
        reversed += static_cast<char16_t>(digitSet[value % base]);
        value /= base;
    } while (value != 0);
    return std::u16string(reversed.rbegin(), reversed.rend());
}

void AppendInteger(std::u16string& out, uint64_t magnitude, bool negative, unsigned base, bool upper,
                   const CConversion& c, bool isSigned)
{
    std::u16string digits = (c.precision == 0 && magnitude == 0) ? u"" : Digits(magnitude, base, upper);
    if (c.precision > static_cast<int>(digits.size()))
        digits.insert(0, c.precision - digits.size(), u'0');
    std::u16string prefix;
    if (negative) prefix = u"-";
    else if (isSigned && c.plusSign) prefix = u"+";
    else if (isSigned && c.blankSign) prefix = u" ";
    if (c.alternate && base == 16 && magnitude != 0) prefix += upper ? u"0X" : u"0x";
    // The alternate octal form always starts with a zero, even for a zero of precision 0.
    if (c.alternate && base == 8 && (digits.empty() || digits[0] != u'0')) prefix += u"0";
    if (c.zeroPad && !c.leftAlign && c.precision < 0) {
        const int fill = c.width - static_cast<int>(prefix.size() + digits.size());
        if (fill > 0) digits.insert(0, fill, u'0');
    }
    AppendPadded(out, prefix + digits, c);
}

int64_t SignedArgument(va_list& arguments, const CConversion& c)
{
    switch (c.length) {
    case CConversion::kLongLong:
    case CConversion::kPointerSized: return va_arg(arguments, long long);
    case CConversion::kShort: return static_cast<short>(va_arg(arguments, int));
    default: return va_arg(arguments, int);  // "l" is 32 bits on Windows
    }
}

uint64_t UnsignedArgument(va_list& arguments, const CConversion& c)
{
    switch (c.length) {
    case CConversion::kLongLong:
    case CConversion::kPointerSized: return va_arg(arguments, unsigned long long);
    case CConversion::kShort: return static_cast<unsigned short>(va_arg(arguments, unsigned));
    default: return va_arg(arguments, unsigned);
    }
}

// Widths and precisions beyond this are cut to it: no text the server writes needs more, and a
// width from an argument can be anything, INT_MIN included, whose negation is undefined.
constexpr int kLargestWidth = 100000;

bool ParseNumber(const char16_t*& p, va_list& arguments, int& value)
{
    if (*p == u'*') {
        const long long given = va_arg(arguments, int);
        value = static_cast<int>(given < -kLargestWidth ? -kLargestWidth : given > kLargestWidth ? kLargestWidth : given);
        ++p;
        return true;
    }
    bool any = false;
    value = 0;
    while (*p >= u'0' && *p <= u'9') {
        value = value * 10 + (*p - u'0');
        if (value > 100000) return false;
        ++p;
        any = true;
    }
    return any;
}

}  // namespace

bool VFormatString(std::u16string& out, const char16_t* format, va_list arguments, bool escapeLineBreaks)
{
    out.clear();
    if (format == nullptr) return false;
    va_list args;
    va_copy(args, arguments);
    bool ok = true;
    for (const char16_t* p = format; *p && ok; ++p) {
        if (*p != u'%') {
            out += *p;
            continue;
        }
        ++p;
        CConversion c;
        for (;; ++p) {
            if (*p == u'-') c.leftAlign = true;
            else if (*p == u'+') c.plusSign = true;
            else if (*p == u' ') c.blankSign = true;
            else if (*p == u'#') c.alternate = true;
            else if (*p == u'0') c.zeroPad = true;
            else break;
        }
        int number = 0;
        if (ParseNumber(p, args, number)) {
            c.width = number;
            if (number < 0) { c.leftAlign = true; c.width = -number; }
        }
        if (*p == u'.') {
            ++p;
            c.precision = ParseNumber(p, args, number) ? number : 0;
            if (c.precision < 0) c.precision = -1;
        }
        if (p[0] == u'I' && p[1] == u'6' && p[2] == u'4') { c.length = CConversion::kLongLong; p += 3; }
        else if (p[0] == u'I' && p[1] == u'3' && p[2] == u'2') { c.length = CConversion::kDefault; p += 3; }
        else if (p[0] == u'l' && p[1] == u'l') { c.length = CConversion::kLongLong; p += 2; }
        else if (*p == u'I' || *p == u'z' || *p == u'j' || *p == u't') { c.length = CConversion::kPointerSized; ++p; }
        else if (*p == u'l' || *p == u'w') { c.length = CConversion::kLong; c.explicitWide = true; ++p; }
        else if (*p == u'h') { c.length = CConversion::kShort; c.explicitNarrow = true; ++p; }

        std::u16string body;
        switch (*p) {
        case u'%':
            out += u'%';
            break;
        case u'd':
        case u'i': {
            const int64_t v = SignedArgument(args, c);
            const uint64_t magnitude = v < 0 ? 0 - static_cast<uint64_t>(v) : static_cast<uint64_t>(v);
            AppendInteger(out, magnitude, v < 0, 10, false, c, true);
            break;
        }
        case u'u': AppendInteger(out, UnsignedArgument(args, c), false, 10, false, c, false); break;
        case u'o': AppendInteger(out, UnsignedArgument(args, c), false, 8, false, c, false); break;
        case u'x': AppendInteger(out, UnsignedArgument(args, c), false, 16, false, c, false); break;
        case u'X': AppendInteger(out, UnsignedArgument(args, c), false, 16, true, c, false); break;
        case u'p': {
            CConversion pointer = c;
            pointer.precision = 2 * static_cast<int>(sizeof(void*));
            const auto value = reinterpret_cast<uintptr_t>(va_arg(args, void*));
            AppendInteger(out, value, false, 16, true, pointer, false);
            break;
        }
        case u'c':
        case u'C': {
            const bool narrow = c.explicitNarrow || (*p == u'C' && !c.explicitWide);
            const int v = va_arg(args, int);
            AppendTextUnit(body, narrow ? static_cast<char16_t>(static_cast<unsigned char>(v))
                                        : static_cast<char16_t>(v),
                           escapeLineBreaks);
            AppendPadded(out, body, c);
            break;
        }
        case u's':
        case u'S': {
            const bool narrow = c.explicitNarrow || (*p == u'S' && !c.explicitWide);
            const size_t limit = c.precision < 0 ? SIZE_MAX : static_cast<size_t>(c.precision);
            if (narrow) {
                const char* text = va_arg(args, const char*);
                if (text == nullptr) text = "(null)";
                for (size_t i = 0; i < limit && text[i]; ++i)
                    AppendTextUnit(body, static_cast<char16_t>(static_cast<unsigned char>(text[i])), escapeLineBreaks);
            } else {
                const char16_t* text = va_arg(args, const char16_t*);
                if (text == nullptr) text = u"(null)";
                for (size_t i = 0; i < limit && text[i]; ++i) AppendTextUnit(body, text[i], escapeLineBreaks);
            }
            AppendPadded(out, body, c);
            break;
        }
        default:
            ok = false;  // unknown conversion, or the format ended inside one
            break;
        }
        if (*p == 0) break;
    }
    va_end(args);
    if (!ok) out.clear();
    return ok;
}

std::u16string FormatString(const char16_t* format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    std::u16string text;
    VFormatString(text, format, arguments, false);
    va_end(arguments);
    return text;
}

std::u16string FormatDecimal(double value, int decimals)
{
    char text[400];
    const auto [end, failed] = std::to_chars(text, text + sizeof(text), value, std::chars_format::fixed, decimals);
    if (failed != std::errc()) return u"0";
    return std::u16string(text, end);
}
