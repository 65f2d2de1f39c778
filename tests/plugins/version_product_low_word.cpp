// Reports version 0; its product version has only the least significant word set.
#include "tests/plugins/PluginKit.h"

namespace {
const CPluginAnswers kAnswers{.name = "Version Low Word", .uniqueId = 0x5A564C57};
}

ZOO_EXPORT AEffect* VSTPluginMain(AudioMasterCallback host) { return CreateZooEffect(kAnswers, host); }
