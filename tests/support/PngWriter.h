#pragma once
// Writes small PNG files for tests, with exactly the pixels and form asked for. The image data
// goes into stored (uncompressed) deflate blocks, so no compression library is needed.
#include <cstdint>
#include <string>
#include <vector>

enum PngColourType : uint8_t { kPngGrey = 0, kPngRgb = 2, kPngPalette = 3, kPngRgba = 6 };

// `rows` holds the raw samples, row after row, without filter bytes. `palette` is RGB triples.
std::string EncodePng(uint32_t width, uint32_t height, PngColourType colourType, uint8_t bitDepth,
                      const std::vector<uint8_t>& rows, const std::vector<uint8_t>& palette = {});
