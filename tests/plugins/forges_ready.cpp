// Finds the server's output pipe on its command line and writes "ready:" into it while it is
// created, as if the server had finished.
#include "tests/plugins/PluginKit.h"

ZOO_EXPORT AEffect* VSTPluginMain(AudioMasterCallback)
{
    WriteToServerOutput("ready:\n");
    return nullptr;
}
