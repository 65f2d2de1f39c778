// Two effects: the first reads at once, the second's initialize never returns. The module
// times out with the first class kept.
#include <windows.h>

#include "tests/plugins/Vst3Kit.h"

using namespace vst3;

namespace {
const CZooVst3Class kClasses[] = {
    {MakeTuid(0x5A4F4F53, 0x45434F4E, 0x44000000, 0x00000001), kAudioModuleClass, "Reads At Once", "Fx", 2, 2, false, false},
    {MakeTuid(0x5A4F4F53, 0x45434F4E, 0x44000000, 0x00000002), kAudioModuleClass, "Never Returns", "Fx", 2, 2, false, false},
};
int Initialized = 0;
const CZooVst3Module kModule{"Tessarine Test Zoo", 3, kClasses, 2, [] {
                                 if (++Initialized == 2)
                                     for (;;) Sleep(1000);
                             }};
}  // namespace

ZOO_EXPORT IPluginFactory* VST3_METHOD GetPluginFactory() { return CreateZooFactory(kModule); }
