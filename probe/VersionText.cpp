#include "probe/VersionText.h"

#include <cstring>

#include "protocol/Format.h"
#include "protocol/Utf8.h"

std::u16string FormatVendorVersion(int32_t v)
{
    if (v == 0) return u"";
    if (v < 10) return FormatString(u"%i.0.0.0", v);
    if (v <= 9999) return FormatString(u"%i.%i.%i.%i", v / 1000 % 10, v / 100 % 10, v / 10 % 10, v % 10);
    if (v <= 65535) return FormatString(u"%i.%i.%i.%i", v / 10000 % 10, v / 1000 % 10, v / 100 % 10, v / 10 % 10);
    if (v <= 0x64FFFF) return FormatString(u"%i.%i.%i.%i", (v >> 16) & 255, (v >> 8) & 255, v & 255, 0);
    return FormatString(u"%i.%i.%i.%i", v / 10000000, v / 100000 % 100, v / 1000 % 100, v % 1000);
}

std::u16string FormatResourceVersion(uint32_t productMS, uint32_t productLS, uint32_t fileMS, uint32_t fileLS)
{
    uint32_t ms, ls;
    if (productMS != 0 || productLS != 0) { ms = productMS; ls = productLS; }
    else if (fileMS != 0 || fileLS != 0) { ms = fileMS; ls = fileLS; }
    else return u"";
    return FormatString(u"%i.%i.%i.%i", static_cast<int>(ms >> 16), static_cast<int>(ms & 0xFFFF),
                        static_cast<int>(ls >> 16), static_cast<int>(ls & 0xFFFF));
}

std::u16string TextFromPluginBuffer(const char* buffer, size_t size)
{
    const void* end = std::memchr(buffer, 0, size);
    const size_t length = end ? static_cast<size_t>(static_cast<const char*>(end) - buffer) : size;
    return WidenBytes(std::string_view(buffer, length));
}

std::u16string VstTextQuery(AEffect* effect, int32_t opcode)
{
    // Some plug-ins write past the 512 bytes hosts give them; the slack keeps that off our
    // stack frame. Only the first 512 bytes are read.
    // All of it zeroed: a plug-in that writes a text without its terminator must not bring
    // what was on the stack before into the report.
    char buffer[kVstTextBufferSize + 512] = {};
    effect->dispatcher(effect, opcode, 0, 0, buffer, 0.0f);
    return TextFromPluginBuffer(buffer, kVstTextBufferSize);
}
