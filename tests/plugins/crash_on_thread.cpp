// Starts a thread of its own that faults, and waits for it while it is created.
#include "tests/plugins/PluginKit.h"

ZOO_EXPORT AEffect* VSTPluginMain(AudioMasterCallback)
{
    RunOnNewThread(WriteThroughNull, true);
    return nullptr;
}
