#include "splash/SplashWindow.h"

HWND SplashWindow = nullptr;

SplashSession StartSplashGraphics() { return 0; }
void StopSplashGraphics(SplashSession) {}
void CreateSplashWindow(HINSTANCE, HWND) {}
void DestroySplashWindow() {}
