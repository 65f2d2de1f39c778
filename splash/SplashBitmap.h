#pragma once
#include <windows.h>

// The splash picture (resource "PNG" 101) as a bottom-up 32-bit DIB section with premultiplied
// alpha, ready for UpdateLayeredWindow; null when it is missing or cannot be decoded.
HBITMAP LoadSplashBitmap(HINSTANCE instance);

// The same for PNG (or any GDI+-readable) bytes in memory.
HBITMAP DecodePremultipliedBitmap(const void* bytes, size_t size);

namespace Gdiplus { class GpBitmap; }
// Copies a decoded image into a new DIB section, upright, converting the common formats; the
// pixels are not premultiplied yet. Null on failure.
HBITMAP CreateDibSectionFromImage(Gdiplus::GpBitmap* image);
