// Reports version 0; its product version is 0.0.0.0 and its file version 1.0.0.3.
#include "tests/plugins/PluginKit.h"

namespace {
const CPluginAnswers kAnswers{.name = "Version File Only", .uniqueId = 0x5A564630};
}

ZOO_EXPORT AEffect* VSTPluginMain(AudioMasterCallback host) { return CreateZooEffect(kAnswers, host); }
