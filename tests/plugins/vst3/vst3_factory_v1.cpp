// A module whose factory offers only IPluginFactory: its plug-ins have the factory's vendor.
#include "tests/plugins/Vst3Kit.h"

namespace {
const CZooVst3Class kClasses[] = {
    {MakeTuid(0x5A563303, 0x00010001, 0x5A4F4F00, 0x00000001), "Audio Module Class", "Zoo First Factory", "", 1, 1,
     false, true},
};
const CZooVst3Module kModule{"Zoo Factory Vendor", 1, kClasses, 1};
}  // namespace

ZOO_EXPORT vst3::IPluginFactory* VST3_METHOD GetPluginFactory() { return CreateZooFactory(kModule); }
