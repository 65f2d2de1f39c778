// An ordinary effect that takes 15 s to start, as one that reads a large library does.
#include <windows.h>

#include "tests/plugins/PluginKit.h"

namespace {
const CPluginAnswers kAnswers{.name = "Slow Entry", .uniqueId = 0x5A534C45};
}  // namespace

ZOO_EXPORT AEffect* VSTPluginMain(AudioMasterCallback host)
{
    Sleep(15000);
    return CreateZooEffect(kAnswers, host);
}
