#pragma once
// Turning decoded image rows into the 32-bit pixels a layered window takes: one little-endian
// value per pixel, alpha in the top byte, then red, green, blue (bytes B, G, R, A in memory).
#include <cstddef>
#include <cstdint>

// The decoder's pixel formats that are converted; every other format gives no pixels.
constexpr uint32_t kPixelFormat32bppARGB = 0x0026200A;
constexpr uint32_t kPixelFormat32bppRGB = 0x00022009;
constexpr uint32_t kPixelFormat24bppRGB = 0x00021808;
constexpr uint32_t kPixelFormat16bppRGB565 = 0x00021006;
constexpr uint32_t kPixelFormat16bppRGB555 = 0x00021005;

// Each reader takes one pixel at `source`, moves it past the pixel, and yields the value.
uint32_t ReadPixel32bppRGB(const uint8_t*& source);
uint32_t ReadPixel24bppRGB(const uint8_t*& source);
uint32_t ReadPixel16bppRGB565(const uint8_t*& source);
uint32_t ReadPixel16bppRGB555(const uint8_t*& source);
void WritePixel(uint8_t*& destination, uint32_t value);

// Fills one destination row of `width` pixels; false, with the row untouched, for a format
// that is not converted.
bool ConvertRow(uint32_t format, const uint8_t* source, uint8_t* destination, int width);

// Multiplies the colour channels of `count` pixels by their alpha, dropping the remainder.
void PremultiplyPixels(uint8_t* pixels, size_t count);

// Where the splash goes: 10 pixels in from the right and bottom edges of the work area.
struct CSplashPosition {
    int x, y;
};
CSplashPosition PlaceSplash(int workAreaRight, int workAreaBottom, int width, int height);
