// Creates a window it never shows, as plug-ins do for timers and messages, and finishes normally.
#include <windows.h>

#include "tests/plugins/PluginKit.h"

ZOO_EXPORT AEffect* VSTPluginMain(AudioMasterCallback host)
{
    CreateWindowExW(0, L"STATIC", L"Hidden helper", WS_OVERLAPPED, 0, 0, 100, 100, nullptr, nullptr, nullptr, nullptr);
    static const CPluginAnswers answers{.name = "Hidden Window", .uniqueId = 0x5A484957};
    return CreateZooEffect(answers, host);
}
