// A shell plug-in that holds no sub-plug-ins: its listing ends at once.
#include "tests/plugins/PluginKit.h"

namespace {
const CPluginAnswers kAnswers{.name = "Empty Shell", .uniqueId = 0x5A45536C, .category = kPlugCategShell};
}

ZOO_EXPORT AEffect* VSTPluginMain(AudioMasterCallback host) { return CreateZooEffect(kAnswers, host); }
