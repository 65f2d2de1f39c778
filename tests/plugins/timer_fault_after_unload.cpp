// Sets a timer-queue timer that fires 2.5 s later, and lets the server unload it: the timer
// then runs on a pool thread the system starts only when it fires, at an address where this
// library's code was. Whoever is being scanned by then is innocent.
#include <windows.h>

#include "tests/plugins/PluginKit.h"

namespace {
VOID CALLBACK Fire(void*, BOOLEAN) { WriteThroughNull(); }
const CPluginAnswers kAnswers{.name = "Timer Fault After Unload", .uniqueId = 0x5A544655};
}  // namespace

ZOO_EXPORT AEffect* VSTPluginMain(AudioMasterCallback host)
{
    HANDLE timer = nullptr;
    CreateTimerQueueTimer(&timer, nullptr, Fire, nullptr, 2500, 0, WT_EXECUTEDEFAULT);
    return CreateZooEffect(kAnswers, host);
}
