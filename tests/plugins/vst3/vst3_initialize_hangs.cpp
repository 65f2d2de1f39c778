// A module whose component never returns from initialize.
#include <chrono>
#include <thread>

#include "tests/plugins/Vst3Kit.h"

namespace {
void HangForEver()
{
    for (;;) std::this_thread::sleep_for(std::chrono::seconds(1));
}
const CZooVst3Class kClasses[] = {
    {MakeTuid(0x5A563304, 0x00010001, 0x5A4F4F00, 0x00000001), "Audio Module Class", "Zoo Hang", "Fx", 2, 2, false, false},
};
const CZooVst3Module kModule{"Tessarine Test Zoo", 3, kClasses, 1, HangForEver};
}  // namespace

ZOO_EXPORT vst3::IPluginFactory* VST3_METHOD GetPluginFactory() { return CreateZooFactory(kModule); }
