// Returns something that is not a VST 2 effect.
#include "tests/plugins/PluginKit.h"

namespace {
AEffect NotAnEffect{};
}

ZOO_EXPORT AEffect* VSTPluginMain(AudioMasterCallback)
{
    NotAnEffect.magic = 0x12345678;
    return &NotAnEffect;
}
