#include "tests/support/PngWriter.h"

#include <algorithm>

namespace {

uint32_t Crc32(const std::string& bytes)
{
    uint32_t crc = 0xFFFFFFFFu;
    for (unsigned char byte : bytes) {
        crc ^= byte;
        for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

void PutBigEndian(std::string& out, uint32_t value)
{
    for (int shift = 24; shift >= 0; shift -= 8) out += static_cast<char>(value >> shift);
}

void PutChunk(std::string& out, const char* type, const std::string& data)
{
    PutBigEndian(out, static_cast<uint32_t>(data.size()));
    const std::string typed = type + data;
    out += typed;
    PutBigEndian(out, Crc32(typed));
}

std::string StoredZlib(const std::string& data)
{
    std::string stream = "\x78\x01";
    size_t at = 0;
    do {
        const size_t length = std::min<size_t>(data.size() - at, 65535);
        const bool last = at + length == data.size();
        stream += static_cast<char>(last ? 1 : 0);
        stream += static_cast<char>(length & 0xFF);
        stream += static_cast<char>(length >> 8);
        stream += static_cast<char>(~length & 0xFF);
        stream += static_cast<char>((~length >> 8) & 0xFF);
        stream.append(data, at, length);
        at += length;
    } while (at < data.size());
    uint32_t a = 1, b = 0;
    for (unsigned char byte : data) {
        a = (a + byte) % 65521;
        b = (b + a) % 65521;
    }
    PutBigEndian(stream, b << 16 | a);
    return stream;
}

}  // namespace

std::string EncodePng(uint32_t width, uint32_t height, PngColourType colourType, uint8_t bitDepth,
                      const std::vector<uint8_t>& rows, const std::vector<uint8_t>& palette)
{
    const uint32_t channels = colourType == kPngRgb ? 3 : colourType == kPngRgba ? 4 : 1;
    const size_t rowBytes = (static_cast<size_t>(width) * channels * bitDepth + 7) / 8;

    std::string png = "\x89PNG\r\n\x1A\n";
    std::string header;
    PutBigEndian(header, width);
    PutBigEndian(header, height);
    header += static_cast<char>(bitDepth);
    header += static_cast<char>(colourType);
    header += std::string(3, '\0');  // deflate, adaptive filtering, not interlaced
    PutChunk(png, "IHDR", header);
    if (colourType == kPngPalette) PutChunk(png, "PLTE", std::string(palette.begin(), palette.end()));
    std::string filtered;
    for (uint32_t y = 0; y < height; ++y) {
        filtered += '\0';  // no filter
        filtered.append(reinterpret_cast<const char*>(rows.data()) + y * rowBytes, rowBytes);
    }
    PutChunk(png, "IDAT", StoredZlib(filtered));
    PutChunk(png, "IEND", "");
    return png;
}
