// Thirty effects whose initialize takes 0.1 s each: more than a one-second time-out in all,
// well within it for each class.
#include <windows.h>

#include "tests/plugins/Vst3Kit.h"

using namespace vst3;

namespace {
constexpr int32_t kCount = 30;
CZooVst3Class Classes[kCount];
const CZooVst3Module kModule{"Tessarine Test Zoo", 3, Classes, kCount, [] { Sleep(100); }};
}  // namespace

ZOO_EXPORT IPluginFactory* VST3_METHOD GetPluginFactory()
{
    for (int32_t i = 0; i < kCount; ++i)
        Classes[i] = {MakeTuid(0x5A4F4F53, 0x4C4F5743, 0x4C415353, static_cast<uint32_t>(i)), kAudioModuleClass, "Slow Class",
                      "Fx", 2, 2, false, false};
    return CreateZooFactory(kModule);
}
