// Answers normally, but keeps itself loaded and leaves a thread behind that ends the whole
// process 0.3 s later: no fault, no dump.
#include "tests/plugins/PluginKit.h"

namespace {
void ExitLater()
{
    PauseMs(300);
    EndProcess(0);
}
const CPluginAnswers kAnswers{.name = "Exit After Answer", .uniqueId = 0x5A454141};
}  // namespace

ZOO_EXPORT AEffect* VSTPluginMain(AudioMasterCallback host)
{
    KeepLoaded();
    RunOnNewThread(ExitLater, false);
    return CreateZooEffect(kAnswers, host);
}
