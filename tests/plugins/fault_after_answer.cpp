// Answers normally, but keeps itself loaded and leaves a thread behind that faults 0.3 s
// later, when the host has long taken the answer and may be scanning the next plug-in.
#include "tests/plugins/PluginKit.h"

namespace {
void FaultLater()
{
    PauseMs(300);
    WriteThroughNull();
}
const CPluginAnswers kAnswers{.name = "Fault After Answer", .uniqueId = 0x5A464141};
}  // namespace

ZOO_EXPORT AEffect* VSTPluginMain(AudioMasterCallback host)
{
    KeepLoaded();
    RunOnNewThread(FaultLater, false);
    return CreateZooEffect(kAnswers, host);
}
