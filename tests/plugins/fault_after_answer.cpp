// Answers normally, but keeps itself loaded and leaves a thread behind that faults 0.3 s
// later, when the host has long taken the answer and may be scanning the next plug-in.
#include <windows.h>

#include "tests/plugins/PluginKit.h"

namespace {
DWORD WINAPI FaultLater(void*)
{
    Sleep(300);
    WriteThroughNull();
    return 0;
}
const CPluginAnswers kAnswers{.name = "Fault After Answer", .uniqueId = 0x5A464141};
}  // namespace

ZOO_EXPORT AEffect* VSTPluginMain(AudioMasterCallback host)
{
    KeepLoaded();
    CloseHandle(CreateThread(nullptr, 0, FaultLater, nullptr, 0, nullptr));
    return CreateZooEffect(kAnswers, host);
}
