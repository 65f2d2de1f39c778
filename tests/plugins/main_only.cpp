// An old plug-in whose only entry point is exported as "main".
#include "tests/plugins/PluginKit.h"

namespace {
const CPluginAnswers kAnswers{.name = "Main Only", .uniqueId = 0x5A4D4149};
}

extern "C" AEffect* MainEntry(AudioMasterCallback host) { return CreateZooEffect(kAnswers, host); }
