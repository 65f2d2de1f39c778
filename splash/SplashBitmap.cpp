#include "splash/SplashBitmap.h"

#include <objidl.h>
#include <gdiplus.h>

#include <cstring>

#include "splash/PixelFormats.h"

using namespace Gdiplus;
using namespace Gdiplus::DllExports;

namespace {

constexpr int kSplashResourceId = 101;
constexpr UINT kGlobalFlags = GMEM_MOVEABLE | GMEM_ZEROINIT;

BITMAPINFO BottomUpHeader(UINT width, UINT height)
{
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = static_cast<LONG>(width);
    info.bmiHeader.biHeight = static_cast<LONG>(height);  // positive: rows bottom-up
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    return info;
}

}  // namespace

HBITMAP CreateDibSectionFromImage(GpBitmap* image)
{
    PixelFormat format = 0;
    UINT width = 0, height = 0;
    GdipGetImagePixelFormat(image, &format);
    GdipGetImageWidth(image, &width);
    GdipGetImageHeight(image, &height);

    const BITMAPINFO info = BottomUpHeader(width, height);
    void* bits = nullptr;
    HBITMAP section = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (section == nullptr) return nullptr;
    std::memset(bits, 0, static_cast<size_t>(width) * height * 4);

    const GpRect whole(0, 0, static_cast<INT>(width), static_cast<INT>(height));
    BitmapData locked{};
    if (GdipBitmapLockBits(image, &whole, ImageLockModeRead, format, &locked) != Ok) {
        DeleteObject(section);
        return nullptr;
    }
    for (UINT y = 0; y < height; ++y) {
        const auto* source = static_cast<const uint8_t*>(locked.Scan0) + static_cast<ptrdiff_t>(y) * locked.Stride;
        auto* destination = static_cast<uint8_t*>(bits) + static_cast<size_t>(height - 1 - y) * width * 4;
        ConvertRow(format, source, destination, static_cast<int>(width));
    }
    GdipBitmapUnlockBits(image, &locked);
    return section;
}

HBITMAP DecodePremultipliedBitmap(const void* bytes, size_t size)
{
    if (bytes == nullptr || size == 0) return nullptr;
    HGLOBAL block = GlobalAlloc(kGlobalFlags, size);
    if (block == nullptr) return nullptr;
    std::memcpy(GlobalLock(block), bytes, size);
    GlobalUnlock(block);

    IStream* stream = nullptr;
    if (CreateStreamOnHGlobal(block, TRUE, &stream) != S_OK) {
        GlobalFree(block);
        return nullptr;
    }
    GpBitmap* image = nullptr;
    HBITMAP section = nullptr;
    if (GdipCreateBitmapFromStream(stream, &image) == Ok) section = CreateDibSectionFromImage(image);

    DIBSECTION description{};
    if (section && GetObjectW(section, sizeof(description), &description) == sizeof(description)) {
        const size_t pixels =
            static_cast<size_t>(description.dsBm.bmWidthBytes) * static_cast<size_t>(description.dsBm.bmHeight) / 4;
        PremultiplyPixels(static_cast<uint8_t*>(description.dsBm.bmBits), pixels);
    }
    stream->Release();
    if (image) GdipDisposeImage(image);
    return section;
}

HBITMAP LoadSplashBitmap(HINSTANCE instance)
{
    HRSRC resource = FindResourceW(instance, MAKEINTRESOURCEW(kSplashResourceId), L"PNG");
    HGLOBAL loaded = resource ? LoadResource(instance, resource) : nullptr;
    const DWORD size = resource ? SizeofResource(instance, resource) : 0;
    if (loaded == nullptr || size == 0) return nullptr;
    return DecodePremultipliedBitmap(LockResource(loaded), size);
}
