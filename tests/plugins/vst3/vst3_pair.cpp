// A module of two plug-ins (an effect, and an instrument with an event input) and their
// controller, in a bundle with a binary for each machine and a moduleinfo.json. Like real
// modules, its factory reads what InitDll set up, and crashes without it.
#include "tests/plugins/Vst3Kit.h"

namespace {
bool Initialized = false;
const CZooVst3Class kClasses[] = {
    {MakeTuid(0x5A563301, 0x00010001, 0x5A4F4F00, 0x00000001), "Audio Module Class", "Zoo Delay", "Fx|Delay", 2, 2,
     false, false},
    {MakeTuid(0x5A563301, 0x00010001, 0x5A4F4F00, 0x00000002), "Audio Module Class", "Zoo Synth", "Instrument|Synth", 0,
     2, true, false},
    {MakeTuid(0x5A563301, 0x00010001, 0x5A4F4F00, 0x00000003), "Component Controller Class", "Zoo Delay Controller", "",
     0, 0, false, false},
};
const CZooVst3Module kModule{"Tessarine Test Zoo", 3, kClasses, 3};
}  // namespace

ZOO_VST3_MODULE_ENTRY
{
    Initialized = true;
    return true;
}

ZOO_VST3_MODULE_EXIT
{
    Initialized = false;
    return true;
}

ZOO_EXPORT vst3::IPluginFactory* VST3_METHOD GetPluginFactory()
{
    if (!Initialized) *static_cast<volatile int*>(nullptr) = 1;
    return CreateZooFactory(kModule);
}
