// Reports version 1200 itself, which wins over its file's 2.1.0.7.
#include "tests/plugins/PluginKit.h"

namespace {
const CPluginAnswers kAnswers{.name = "Version Own Wins", .uniqueId = 0x5A564F57, .vendorVersion = 1200};
}

ZOO_EXPORT AEffect* VSTPluginMain(AudioMasterCallback host) { return CreateZooEffect(kAnswers, host); }
