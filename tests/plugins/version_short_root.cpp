// Reports version 0; its version resource's root block is too short to hold a version.
#include "tests/plugins/PluginKit.h"

namespace {
const CPluginAnswers kAnswers{.name = "Version Short Root", .uniqueId = 0x5A565352};
}

ZOO_EXPORT AEffect* VSTPluginMain(AudioMasterCallback host) { return CreateZooEffect(kAnswers, host); }
