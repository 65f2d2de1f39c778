// Leaves a hidden window of its own class on the server's thread, with a 10 ms timer, and lets
// the server unload it: the timer's message would run its window procedure where this
// library's code was, in whatever request comes next.
#include <windows.h>

#include "tests/plugins/PluginKit.h"

namespace {
const CPluginAnswers kAnswers{.name = "Window Timer After Unload", .uniqueId = 0x5A575455};
LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM w, LPARAM l) { return DefWindowProcW(window, message, w, l); }
}  // namespace

ZOO_EXPORT AEffect* VSTPluginMain(AudioMasterCallback host)
{
    HMODULE self = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&Procedure), &self);
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = Procedure;
    windowClass.hInstance = self;
    windowClass.lpszClassName = L"ZooLeftTimerWindow";
    RegisterClassW(&windowClass);
    HWND window = CreateWindowExW(0, windowClass.lpszClassName, L"Zoo leftover", 0, 0, 0, 10, 10, nullptr, nullptr, self, nullptr);
    SetTimer(window, 1, 10, nullptr);
    return CreateZooEffect(kAnswers, host);
}
