// A module as a 32-bit build without a .def file leaves it: GetPluginFactory is exported only
// under its __stdcall name, GetPluginFactory@0.
#include "tests/plugins/Vst3Kit.h"

using namespace vst3;

namespace {
const CZooVst3Class kClasses[] = {
    {MakeTuid(0x5A4F4F44, 0x45434F52, 0x41544544, 0x00000001), kAudioModuleClass, "Decorated Export", "Fx", 2, 2, false, false},
};
const CZooVst3Module kModule{"Tessarine Test Zoo", 3, kClasses, 1};
}  // namespace

ZOO_EXPORT IPluginFactory* VST3_METHOD GetPluginFactory() { return CreateZooFactory(kModule); }
