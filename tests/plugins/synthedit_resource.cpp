// Carries the resource by which libraries made with SynthEdit are known.
#include "tests/plugins/PluginKit.h"

namespace {
const CPluginAnswers kAnswers{.name = "SynthEdit Made", .uniqueId = 0x5A534531};
}

ZOO_EXPORT AEffect* VSTPluginMain(AudioMasterCallback host) { return CreateZooEffect(kAnswers, host); }
