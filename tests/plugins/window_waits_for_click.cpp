// Opens a plain window of its own and runs its own message loop until it is clicked or closed.
#include <windows.h>

#include "tests/plugins/PluginKit.h"

namespace {
LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_LBUTTONDOWN || message == WM_CLOSE) {
        DestroyWindow(window);
        return 0;
    }
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}
}  // namespace

ZOO_EXPORT AEffect* VSTPluginMain(AudioMasterCallback host)
{
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszClassName = L"ZooClickMe";
    RegisterClassW(&windowClass);
    if (CreateWindowExW(0, L"ZooClickMe", L"Click to continue", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100, 100, 320, 200,
                        nullptr, nullptr, windowClass.hInstance, nullptr)) {
        MSG message;
        while (GetMessageW(&message, nullptr, 0, 0) > 0) DispatchMessageW(&message);
    }
    static const CPluginAnswers answers{.name = "Window Waits For Click", .uniqueId = 0x5A575743};
    return CreateZooEffect(answers, host);
}
