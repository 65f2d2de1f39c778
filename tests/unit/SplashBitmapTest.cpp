// The splash picture's conversion with the real GDI+: PNG bytes of known pixels in, DIB section
// bytes out (bottom-up rows, premultiplied, zero for the formats that are not converted).
#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>
#include <shlwapi.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "splash/SplashBitmap.h"
#include "tests/support/PngWriter.h"

namespace {

using namespace Gdiplus;
using namespace Gdiplus::DllExports;

class SplashBitmapTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        GdiplusStartupInput input;
        GdiplusStartup(&token, &input, nullptr);
    }
    static void TearDownTestSuite() { GdiplusShutdown(token); }

    // The DIB section's memory, in memory order (bottom row first), and its size.
    static std::vector<uint8_t> Pixels(HBITMAP section, int& width, int& height)
    {
        DIBSECTION description{};
        EXPECT_EQ(GetObjectW(section, sizeof(description), &description), static_cast<int>(sizeof(description)));
        EXPECT_EQ(description.dsBmih.biBitCount, 32);
        EXPECT_GT(description.dsBmih.biHeight, 0);  // bottom-up
        width = description.dsBm.bmWidth;
        height = description.dsBm.bmHeight;
        const auto* bits = static_cast<const uint8_t*>(description.dsBm.bmBits);
        return std::vector<uint8_t>(bits, bits + static_cast<size_t>(width) * height * 4);
    }

    static std::vector<uint8_t> Decode(const std::string& png, int& width, int& height)
    {
        HBITMAP section = DecodePremultipliedBitmap(png.data(), png.size());
        EXPECT_NE(section, nullptr);
        if (!section) return {};
        auto pixels = Pixels(section, width, height);
        DeleteObject(section);
        return pixels;
    }

    static ULONG_PTR token;
};
ULONG_PTR SplashBitmapTest::token = 0;

TEST_F(SplashBitmapTest, AlphaPixelsArePremultipliedAndUpright)
{
    // Two rows of three RGBA pixels.
    const std::vector<uint8_t> rows = {
        1, 128, 255, 128,  128, 128, 128, 128,  1, 1, 1, 254,
        50, 100, 200, 100, 30, 20, 10, 0,       7, 8, 9, 255,
    };
    int width = 0, height = 0;
    const auto pixels = Decode(EncodePng(3, 2, kPngRgba, 8, rows), width, height);
    EXPECT_EQ(width, 3);
    EXPECT_EQ(height, 2);
    // Memory holds the bottom row first; bytes are B, G, R, A.
    EXPECT_EQ(pixels, (std::vector<uint8_t>{
                          78, 39, 19, 100,   0, 0, 0, 0,        9, 8, 7, 255,
                          128, 64, 0, 128,   64, 64, 64, 128,   0, 0, 0, 254,
                      }));
}

TEST_F(SplashBitmapTest, PixelsWithoutAlphaComeOutOpaqueAndUnchanged)
{
    const std::vector<uint8_t> rows = {10, 20, 30, 40, 50, 60, 70, 80, 90, 100, 110, 120};
    int width = 0, height = 0;
    const auto pixels = Decode(EncodePng(2, 2, kPngRgb, 8, rows), width, height);
    EXPECT_EQ(pixels, (std::vector<uint8_t>{90, 80, 70, 255, 120, 110, 100, 255, 30, 20, 10, 255, 60, 50, 40, 255}));
}

TEST_F(SplashBitmapTest, FormatsThatAreNotConvertedGiveTransparentBlack)
{
    int width = 0, height = 0;
    const auto palette = Decode(EncodePng(2, 2, kPngPalette, 8, {0, 1, 1, 0}, {255, 0, 0, 0, 255, 0}), width, height);
    EXPECT_EQ(width, 2);
    EXPECT_EQ(height, 2);
    EXPECT_EQ(palette, std::vector<uint8_t>(16, 0));

    // 16 bits per channel: Windows' decoder keeps them as 64-bit pixels, which are not converted;
    // Wine's narrows them to 32-bit ARGB, which is. Either way the result follows the format.
    std::vector<uint8_t> deep;
    for (int i = 0; i < 4; ++i) deep.insert(deep.end(), {0xFF, 0xFF, 0x80, 0x00, 0x00, 0x00, 0xFF, 0xFF});
    const std::string png = EncodePng(2, 2, kPngRgba, 16, deep);
    IStream* stream = SHCreateMemStream(reinterpret_cast<const BYTE*>(png.data()), static_cast<UINT>(png.size()));
    GpBitmap* image = nullptr;
    ASSERT_EQ(GdipCreateBitmapFromStream(stream, &image), Ok);
    PixelFormat format = 0;
    GdipGetImagePixelFormat(image, &format);
    GdipDisposeImage(image);
    stream->Release();
    const auto wide = Decode(png, width, height);
    EXPECT_EQ(width, 2);
    if (format == PixelFormat32bppARGB) {
        EXPECT_EQ(wide, (std::vector<uint8_t>{0, 128, 255, 255, 0, 128, 255, 255, 0, 128, 255, 255, 0, 128, 255, 255}));
    } else {
        EXPECT_EQ(format, PixelFormat64bppARGB);
        EXPECT_EQ(wide, std::vector<uint8_t>(16, 0));
    }
}

TEST_F(SplashBitmapTest, SixteenAndThirtyTwoBitBitmapsAreRead)
{
    struct CCase {
        PixelFormat format;
        std::vector<uint8_t> row;  // two pixels
        std::vector<uint8_t> expected;
    };
    const CCase cases[] = {
        {PixelFormat16bppRGB565, {0xFF, 0xFF, 0x1F, 0x00}, {248, 252, 248, 255, 248, 0, 0, 255}},
        {PixelFormat16bppRGB555, {0xFF, 0xFF, 0x00, 0x7C}, {248, 248, 248, 255, 0, 0, 248, 255}},
        {PixelFormat32bppRGB, {1, 2, 3, 0, 4, 5, 6, 7}, {1, 2, 3, 255, 4, 5, 6, 255}},
    };
    for (const auto& c : cases) {
        std::vector<uint8_t> scan = c.row;
        scan.resize(8, 0);  // strides are multiples of 4
        GpBitmap* image = nullptr;
        ASSERT_EQ(GdipCreateBitmapFromScan0(2, 1, 8, c.format, scan.data(), &image), Ok);
        HBITMAP section = CreateDibSectionFromImage(image);
        ASSERT_NE(section, nullptr);
        int width = 0, height = 0;
        EXPECT_EQ(Pixels(section, width, height), c.expected) << std::hex << c.format;
        DeleteObject(section);
        GdipDisposeImage(image);
    }
}

TEST_F(SplashBitmapTest, BadBytesGiveNoBitmap)
{
    const std::string notPng = "definitely not an image";
    EXPECT_EQ(DecodePremultipliedBitmap(notPng.data(), notPng.size()), nullptr);
    EXPECT_EQ(DecodePremultipliedBitmap(nullptr, 0), nullptr);
    EXPECT_EQ(LoadSplashBitmap(GetModuleHandleW(nullptr)), nullptr);  // this program has no picture
}

TEST_F(SplashBitmapTest, TheServersOwnPicture)
{
    wchar_t path[MAX_PATH];
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring server(path);
    server = server.substr(0, server.find_last_of(L'\\')) + L"\\ScanServer-x64.exe";
    HMODULE module = LoadLibraryExW(server.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(module, nullptr);

    HBITMAP section = LoadSplashBitmap(module);
    ASSERT_NE(section, nullptr);
    int width = 0, height = 0;
    const auto pixels = Pixels(section, width, height);
    EXPECT_EQ(width, 120);
    EXPECT_EQ(height, 120);

    // GDI+'s own reading of the same PNG, premultiplied here, row by row from the top.
    HRSRC resource = FindResourceW(module, MAKEINTRESOURCEW(101), L"PNG");
    ASSERT_NE(resource, nullptr);
    const DWORD size = SizeofResource(module, resource);
    const auto* bytes = static_cast<const uint8_t*>(LockResource(LoadResource(module, resource)));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes) + 1, 3), "PNG");
    EXPECT_EQ(bytes[25], 6);  // colour type: RGB with alpha
    EXPECT_EQ(bytes[24], 8);  // 8 bits per channel
    EXPECT_EQ(bytes[28], 0);  // not interlaced
    IStream* stream = SHCreateMemStream(bytes, size);
    GpBitmap* image = nullptr;
    ASSERT_EQ(GdipCreateBitmapFromStream(stream, &image), Ok);
    int partlyTransparent = 0, mismatches = 0;
    for (int y = 0; y < 120; ++y) {
        for (int x = 0; x < 120; ++x) {
            ARGB argb = 0;
            GdipBitmapGetPixel(image, x, y, &argb);
            const unsigned a = argb >> 24;
            const uint8_t expected[4] = {static_cast<uint8_t>((argb & 0xFF) * a / 255),
                                         static_cast<uint8_t>((argb >> 8 & 0xFF) * a / 255),
                                         static_cast<uint8_t>((argb >> 16 & 0xFF) * a / 255), static_cast<uint8_t>(a)};
            const uint8_t* actual = &pixels[(static_cast<size_t>(119 - y) * 120 + x) * 4];
            if (std::memcmp(actual, expected, 4) != 0) ++mismatches;
            if (a > 0 && a < 255) ++partlyTransparent;
        }
    }
    EXPECT_EQ(mismatches, 0);
    EXPECT_GT(partlyTransparent, 120 * 120 / 2);  // a translucent ground
    EXPECT_EQ(std::vector<uint8_t>(pixels.begin(), pixels.begin() + 4), std::vector<uint8_t>(4, 0));  // a clear corner
    GdipDisposeImage(image);
    stream->Release();
    DeleteObject(section);
    FreeLibrary(module);
}

}  // namespace
