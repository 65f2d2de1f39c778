// A module as one file, the older layout, whose factory offers IPluginFactory2.
#include "tests/plugins/Vst3Kit.h"

namespace {
const CZooVst3Class kClasses[] = {
    {MakeTuid(0x5A563302, 0x00010001, 0x5A4F4F00, 0x00000001), "Audio Module Class", "Zoo Single File", "Fx|EQ", 2, 2,
     false, false},
};
const CZooVst3Module kModule{"Tessarine Test Zoo", 2, kClasses, 1};
}  // namespace

ZOO_EXPORT vst3::IPluginFactory* VST3_METHOD GetPluginFactory() { return CreateZooFactory(kModule); }
