// Buses a count of main channels does not tell: a three-band splitter (one main stereo output,
// two aux ones) and a plug-in whose only output carries control voltage.
#include "tests/plugins/Vst3Kit.h"

using namespace vst3;

namespace {
const CZooVst3Class kClasses[] = {
    {MakeTuid(0x5A4F4F42, 0x55534553, 0x00000000, 0x00000001), kAudioModuleClass, "Three Band Splitter", "Fx", 2, 2, false,
     false, 0, 2, false},
    {MakeTuid(0x5A4F4F42, 0x55534553, 0x00000000, 0x00000002), kAudioModuleClass, "CV Only", "Fx", 0, 1, false, false, 0, 0,
     true},
};
const CZooVst3Module kModule{"Tessarine Test Zoo", 3, kClasses, 2};
}  // namespace

ZOO_EXPORT IPluginFactory* VST3_METHOD GetPluginFactory() { return CreateZooFactory(kModule); }
