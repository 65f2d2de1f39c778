// A module that gives what a careless or hostile one could: a billion classes of which two
// exist, a bus count no component has, channel counts of -7 and 2147483647, a class id listed
// twice, and an ExitDll that crashes after every class was read.
#include "tests/plugins/Vst3Kit.h"

using namespace vst3;

namespace {
const CZooVst3Class kClasses[] = {
    {MakeTuid(0x5A4F4F48, 0x4F535449, 0x4C450000, 0x00000001), kAudioModuleClass, "Hostile Buses", "Fx", -7,
     2147483647, false, false, 0x7FFFFFFF},
    {MakeTuid(0x5A4F4F48, 0x4F535449, 0x4C450000, 0x00000001), "Component Controller Class", "Hostile Twin", "", 0, 0,
     false, false},
};
const CZooVst3Module kModule{"Tessarine Test Zoo", 3, kClasses, 2, nullptr, 1000000000};
}  // namespace

ZOO_EXPORT IPluginFactory* VST3_METHOD GetPluginFactory() { return CreateZooFactory(kModule); }
ZOO_VST3_MODULE_EXIT
{
    *static_cast<volatile int*>(nullptr) = 1;
    return true;
}
