// Reports version 0; its file carries product version 2.1.0.7 and file version 1.0.0.3.
#include "tests/plugins/PluginKit.h"

namespace {
const CPluginAnswers kAnswers{.name = "Version Resource Only", .uniqueId = 0x5A565230};
}

ZOO_EXPORT AEffect* VSTPluginMain(AudioMasterCallback host) { return CreateZooEffect(kAnswers, host); }
