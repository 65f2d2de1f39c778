#include <gtest/gtest.h>

#include <vector>

#include "splash/PixelFormats.h"

namespace {

uint32_t ReadWith(uint32_t (*reader)(const uint8_t*&), std::vector<uint8_t> bytes, size_t expectedAdvance)
{
    const uint8_t* at = bytes.data();
    const uint32_t value = reader(at);
    EXPECT_EQ(static_cast<size_t>(at - bytes.data()), expectedAdvance);
    return value;
}

TEST(PixelFormats, ReadersWidenShortChannelsByShiftingAlone)
{
    EXPECT_EQ(ReadWith(ReadPixel16bppRGB565, {0xFF, 0xFF}, 2), 0xFFF8FCF8u);  // 248, 252, 248
    EXPECT_EQ(ReadWith(ReadPixel16bppRGB565, {0x1F, 0x00}, 2), 0xFF0000F8u);  // blue only
    EXPECT_EQ(ReadWith(ReadPixel16bppRGB565, {0xE0, 0x07}, 2), 0xFF00FC00u);  // green only
    EXPECT_EQ(ReadWith(ReadPixel16bppRGB555, {0xFF, 0x7F}, 2), 0xFFF8F8F8u);
    EXPECT_EQ(ReadWith(ReadPixel16bppRGB555, {0x00, 0x80}, 2), 0xFF000000u);  // bit 15 is ignored
    EXPECT_EQ(ReadWith(ReadPixel16bppRGB555, {0x00, 0x7C}, 2), 0xFFF80000u);  // red only
    EXPECT_EQ(ReadWith(ReadPixel24bppRGB, {0x11, 0x22, 0x33}, 3), 0xFF332211u);  // bytes are B, G, R
    EXPECT_EQ(ReadWith(ReadPixel32bppRGB, {0x11, 0x22, 0x33, 0x00}, 4), 0xFF332211u);  // alpha forced opaque
}

TEST(PixelFormats, RowsAreConvertedOrLeftAlone)
{
    const std::vector<uint8_t> argb = {1, 2, 3, 4, 5, 6, 7, 8};
    std::vector<uint8_t> row(8, 0xEE);
    EXPECT_TRUE(ConvertRow(kPixelFormat32bppARGB, argb.data(), row.data(), 2));
    EXPECT_EQ(row, argb);
    const std::vector<uint8_t> rgb = {0x10, 0x20, 0x30, 0x40, 0x50, 0x60};
    EXPECT_TRUE(ConvertRow(kPixelFormat24bppRGB, rgb.data(), row.data(), 2));
    EXPECT_EQ(row, (std::vector<uint8_t>{0x10, 0x20, 0x30, 0xFF, 0x40, 0x50, 0x60, 0xFF}));
    std::vector<uint8_t> untouched(8, 0);
    EXPECT_FALSE(ConvertRow(0x00030803 /* 8bpp indexed */, rgb.data(), untouched.data(), 2));
    EXPECT_FALSE(ConvertRow(0x000E200B /* 32bpp premultiplied */, argb.data(), untouched.data(), 2));
    EXPECT_EQ(untouched, std::vector<uint8_t>(8, 0));
}

TEST(PixelFormats, PremultiplicationTruncates)
{
    std::vector<uint8_t> pixels = {
        255, 128, 1, 128,   // B, G, R, A
        200, 200, 200, 100,
        1, 1, 1, 254,
        9, 8, 7, 255,
        10, 20, 30, 0,
    };
    PremultiplyPixels(pixels.data(), 5);
    EXPECT_EQ(pixels, (std::vector<uint8_t>{128, 64, 0, 128, 78, 78, 78, 100, 0, 0, 0, 254, 9, 8, 7, 255, 0, 0, 0, 0}));
}

TEST(PixelFormats, TheSplashSitsTenPixelsInFromTheWorkAreasCorner)
{
    const CSplashPosition fullHd = PlaceSplash(1920, 1040, 120, 120);
    EXPECT_EQ(fullHd.x, 1790);
    EXPECT_EQ(fullHd.y, 910);
    const CSplashPosition leftMonitor = PlaceSplash(0, 1050, 120, 120);  // a monitor left of the primary
    EXPECT_EQ(leftMonitor.x, -130);
    EXPECT_EQ(leftMonitor.y, 920);
    const CSplashPosition above = PlaceSplash(-200, -100, 120, 120);
    EXPECT_EQ(above.x, -330);
    EXPECT_EQ(above.y, -230);
}

}  // namespace
