#pragma once
#include <windows.h>

// The translucent picture shown while the server lives; null when it could not be shown.
extern HWND SplashWindow;
// Its premultiplied picture; kept for the life of the process.
extern HBITMAP SplashBitmap;

using SplashSession = ULONG_PTR;  // the GDI+ token
SplashSession StartSplashGraphics();
void StopSplashGraphics(SplashSession session);

// Places the picture at the bottom-right of the work area of `referenceWindow`'s monitor
// (the foreground window's when null).
void CreateSplashWindow(HINSTANCE instance, HWND referenceWindow);
void DestroySplashWindow();
// Makes the splash window the active one, so that plug-ins find a window of ours in front.
void ActivateSplashWindow();
