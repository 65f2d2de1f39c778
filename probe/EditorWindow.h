#pragma once
// A window of the server's to hold a plug-in's editor during a check, and the loop that keeps
// both alive: a top-level window on Windows, an X11 window elsewhere.
#include <functional>

// What each format calls this platform's windows.
extern const char* const kVst3EditorPlatform;  // "HWND", "X11EmbedWindowID"
extern const char* const kClapEditorApi;       // "win32", "x11"

// The window, as its handle or X11 id; null when there is no display to open it on.
void* CreateEditorParent();
// Runs the window's events and the plug-in's idle work for `seconds`.
void RunEditorFor(double seconds, const std::function<void()>& idle);
void DestroyEditorParent(void* parent);
