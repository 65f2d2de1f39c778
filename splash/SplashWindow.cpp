#include "splash/SplashWindow.h"

#include <objidl.h>
#include <gdiplus.h>

#include "splash/PixelFormats.h"
#include "splash/SplashBitmap.h"

HWND SplashWindow = nullptr;
HBITMAP SplashBitmap = nullptr;

namespace {

constexpr wchar_t kClassName[] = L"TessarineScanServer";
constexpr wchar_t kTitle[] = L"Tessarine Scan Server";
// Layered for per-pixel alpha, a tool window so it takes no taskbar button, and on top.
constexpr DWORD kExtendedStyle = WS_EX_LAYERED | WS_EX_TOOLWINDOW | WS_EX_TOPMOST;
constexpr DWORD kStyle = WS_POPUP | WS_VISIBLE;

LRESULT CALLBACK SplashWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    // The whole picture acts as a title bar, so it can be dragged anywhere.
    if (message == WM_NCHITTEST) return HTCAPTION;
    return DefWindowProcW(window, message, wParam, lParam);
}

// The right and bottom edges of the work area of the monitor that shows `reference`.
POINT WorkAreaCorner(HWND reference)
{
    if (HMONITOR monitor = MonitorFromWindow(reference, MONITOR_DEFAULTTONEAREST)) {
        MONITORINFO info{};
        info.cbSize = sizeof(info);
        if (GetMonitorInfoW(monitor, &info)) return {info.rcWork.right, info.rcWork.bottom};
    }
    return {GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
}

// The system keeps the layered window's content from here on; the window never paints.
void ShowPicture(HWND window, HBITMAP picture, SIZE size)
{
    HDC screen = CreateDCW(L"display", nullptr, nullptr, nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HGDIOBJ previous = SelectObject(memory, picture);
    POINT origin{0, 0};
    BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    UpdateLayeredWindow(window, nullptr, nullptr, &size, memory, &origin, 0, &blend, ULW_ALPHA);
    SelectObject(memory, previous);
    DeleteDC(memory);
    DeleteDC(screen);
}

}  // namespace

SplashSession StartSplashGraphics()
{
    Gdiplus::GdiplusStartupInput input;  // version 1, no callback, background thread, codecs
    ULONG_PTR token = 0;
    Gdiplus::GdiplusStartup(&token, &input, nullptr);
    return token;
}

void StopSplashGraphics(SplashSession session) { Gdiplus::GdiplusShutdown(session); }

void CreateSplashWindow(HINSTANCE instance, HWND referenceWindow)
{
    if (referenceWindow == nullptr) referenceWindow = GetForegroundWindow();
    SplashBitmap = LoadSplashBitmap(instance);
    // Without a picture there is nothing to show: no window at all, and scans go on as ever.
    if (SplashBitmap == nullptr) return;
    BITMAP picture{};
    GetObjectW(SplashBitmap, sizeof(picture), &picture);
    const POINT corner = WorkAreaCorner(referenceWindow);
    const CSplashPosition position = PlaceSplash(corner.x, corner.y, picture.bmWidth, picture.bmHeight);

    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = SplashWndProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszClassName = kClassName;
    RegisterClassW(&windowClass);

    SplashWindow = CreateWindowExW(kExtendedStyle, kClassName, kTitle, kStyle, position.x, position.y,
                                   picture.bmWidth, picture.bmHeight, GetDesktopWindow(), nullptr, nullptr, nullptr);
    if (SplashWindow == nullptr) return;  // no display: the server serves without its splash
    ShowPicture(SplashWindow, SplashBitmap, SIZE{picture.bmWidth, picture.bmHeight});
    SetActiveWindow(SplashWindow);
}

void DestroySplashWindow()
{
    if (SplashWindow) DestroyWindow(SplashWindow);
    SplashWindow = nullptr;
}

void ActivateSplashWindow() { SetActiveWindow(SplashWindow); }
