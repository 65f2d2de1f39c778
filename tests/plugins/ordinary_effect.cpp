// An ordinary stereo effect that answers every question plainly.
#include "tests/plugins/PluginKit.h"

namespace {
const CPluginAnswers kAnswers{.name = "Ordinary Effect", .product = "Zoo Effect", .uniqueId = 0x5A456666, .flags = effFlagsCanReplacing | effFlagsCanDoubleReplacing | effFlagsHasEditor, .vendorVersion = 1200};
}

ZOO_EXPORT AEffect* VSTPluginMain(AudioMasterCallback host) { return CreateZooEffect(kAnswers, host); }
