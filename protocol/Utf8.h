#pragma once
// UTF-8 <-> UTF-16 with the results the Windows conversions give without flags: every
// ill-formed sequence and every lone surrogate becomes U+FFFD.
#include <string>
#include <string_view>

std::string ToUtf8(std::u16string_view text);
// Appends one code point, which must not be a surrogate, as UTF-8.
void AppendUtf8(std::string& out, char32_t c);
std::u16string Utf8ToUtf16(std::string_view bytes);

// Widens 8-bit text byte for byte: the byte n becomes the unit n. Plug-ins hand over their
// names this way; they are never decoded as UTF-8 or through a code page.
std::u16string WidenBytes(std::string_view bytes);

// Off Windows a file name is bytes, and need not be UTF-8. Such a name travels as text without
// loss: a byte that is not part of well-formed UTF-8 becomes the private-use code point
// U+F700 + the byte (U+F780..U+F7FF), and so does each byte of a name's own U+F780..U+F7FF, so
// that every text maps back to exactly the bytes it came from. Well-formed UTF-8 but those
// code points is left as it is.
std::string EscapeNameBytes(std::string_view bytes);
std::string UnescapeNameBytes(std::string_view text);
