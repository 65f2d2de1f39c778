#include "probe/EditorWindow.h"

#include <windows.h>

#include "probe/ProbeState.h"
#include "probe/clap/ClapAbi.h"
#include "probe/vst3/Vst3Abi.h"

const char* const kVst3EditorPlatform = vst3::kPlatformTypeHwnd;
const char* const kClapEditorApi = clap::kWindowApiWin32;

void* CreateEditorParent()
{
    return CreateWindowExW(0, L"STATIC", L"Tessarine check editor", WS_OVERLAPPEDWINDOW, 0, 0, 800, 600, nullptr,
                           nullptr, GetModuleHandleW(nullptr), nullptr);
}

void RunEditorFor(double seconds, const std::function<void()>& idle)
{
    const ULONGLONG end = GetTickCount64() + static_cast<ULONGLONG>(seconds * 1000);
    while (GetTickCount64() < end) {
        ProbeHooks.dispatchPendingMessages();
        idle();
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 15, QS_ALLINPUT);
    }
}

void DestroyEditorParent(void* parent) { DestroyWindow(static_cast<HWND>(parent)); }
