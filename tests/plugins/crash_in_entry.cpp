// Faults with an access violation while it is being created.
#include "tests/plugins/PluginKit.h"

ZOO_EXPORT AEffect* VSTPluginMain(AudioMasterCallback)
{
    WriteThroughNull();
    return nullptr;
}
