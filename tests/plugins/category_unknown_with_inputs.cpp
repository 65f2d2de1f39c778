// Category unknown with audio inputs: taken for an effect.
#include "tests/plugins/PluginKit.h"

namespace {
const CPluginAnswers kAnswers{.name = "Unknown With Inputs", .uniqueId = 0x5A433032, .category = kPlugCategUnknown, .numInputs = 2};
}

ZOO_EXPORT AEffect* VSTPluginMain(AudioMasterCallback host) { return CreateZooEffect(kAnswers, host); }
