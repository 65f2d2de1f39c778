// A bridge's bootstrap library: it exports the bridge's marker beside a VST entry point, which
// a scanner must never call.
#include "tests/plugins/PluginKit.h"

ZOO_EXPORT void JBridgeBootstrap() {}

ZOO_EXPORT AEffect* VSTPluginMain(AudioMasterCallback)
{
    WriteThroughNull();
    return nullptr;
}
