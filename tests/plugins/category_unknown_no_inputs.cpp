// Category unknown and no audio inputs: taken for an instrument.
#include "tests/plugins/PluginKit.h"

namespace {
const CPluginAnswers kAnswers{.name = "Unknown No Inputs", .uniqueId = 0x5A433030, .category = kPlugCategUnknown, .numInputs = 0};
}

ZOO_EXPORT AEffect* VSTPluginMain(AudioMasterCallback host) { return CreateZooEffect(kAnswers, host); }
