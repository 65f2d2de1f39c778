#include "splash/PixelFormats.h"

#include <cstring>

namespace {

constexpr uint32_t kOpaque = 0xFF000000u;
constexpr int kSplashMargin = 10;

uint32_t Pack(uint32_t red, uint32_t green, uint32_t blue) { return kOpaque | red << 16 | green << 8 | blue; }

uint16_t Read16(const uint8_t*& source)
{
    const uint16_t value = static_cast<uint16_t>(source[0] | source[1] << 8);
    source += 2;
    return value;
}

}  // namespace

uint32_t ReadPixel32bppRGB(const uint8_t*& source)
{
    const uint32_t value = static_cast<uint32_t>(source[0]) | source[1] << 8 | source[2] << 16;
    source += 4;
    return kOpaque | value;
}

uint32_t ReadPixel24bppRGB(const uint8_t*& source)
{
    const uint32_t value = Pack(source[2], source[1], source[0]);
    source += 3;
    return value;
}

// Short channels are widened by shifting alone: a full 5-bit channel gives 248, 6 bits 252.
uint32_t ReadPixel16bppRGB565(const uint8_t*& source)
{
    const uint16_t v = Read16(source);
    return Pack((v >> 11 & 0x1F) << 3, (v >> 5 & 0x3F) << 2, (v & 0x1F) << 3);
}

uint32_t ReadPixel16bppRGB555(const uint8_t*& source)
{
    const uint16_t v = Read16(source);  // bit 15 is unused
    return Pack((v >> 10 & 0x1F) << 3, (v >> 5 & 0x1F) << 3, (v & 0x1F) << 3);
}

void WritePixel(uint8_t*& destination, uint32_t value)
{
    destination[0] = static_cast<uint8_t>(value);
    destination[1] = static_cast<uint8_t>(value >> 8);
    destination[2] = static_cast<uint8_t>(value >> 16);
    destination[3] = static_cast<uint8_t>(value >> 24);
    destination += 4;
}

bool ConvertRow(uint32_t format, const uint8_t* source, uint8_t* destination, int width)
{
    uint32_t (*reader)(const uint8_t*&);
    switch (format) {
    case kPixelFormat32bppARGB:
        std::memcpy(destination, source, static_cast<size_t>(width) * 4);  // already our layout
        return true;
    case kPixelFormat32bppRGB: reader = ReadPixel32bppRGB; break;
    case kPixelFormat24bppRGB: reader = ReadPixel24bppRGB; break;
    case kPixelFormat16bppRGB565: reader = ReadPixel16bppRGB565; break;
    case kPixelFormat16bppRGB555: reader = ReadPixel16bppRGB555; break;
    default: return false;
    }
    for (int x = 0; x < width; ++x) WritePixel(destination, reader(source));
    return true;
}

void PremultiplyPixels(uint8_t* pixels, size_t count)
{
    for (size_t i = 0; i < count; ++i, pixels += 4) {
        const unsigned alpha = pixels[3];
        for (int channel = 0; channel < 3; ++channel) pixels[channel] = static_cast<uint8_t>(pixels[channel] * alpha / 255);
    }
}

CSplashPosition PlaceSplash(int workAreaRight, int workAreaBottom, int width, int height)
{
    return {workAreaRight - width - kSplashMargin, workAreaBottom - height - kSplashMargin};
}
