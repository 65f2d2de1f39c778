// Answers category 10 but sets the synth flag: it is an instrument, and its listing must not be
// asked for (asking would fault).
#include "tests/plugins/PluginKit.h"

namespace {
bool FaultIfListed(AEffect*, int32_t opcode, void*, intptr_t*)
{
    if (opcode == effShellGetNextPlugin) WriteThroughNull();
    return false;
}
const CPluginAnswers kAnswers{.name = "Shell With Synth Flag", .uniqueId = 0x5A535346, .category = kPlugCategShell,
                              .flags = effFlagsCanReplacing | effFlagsIsSynth, .special = FaultIfListed};
}  // namespace

ZOO_EXPORT AEffect* VSTPluginMain(AudioMasterCallback host) { return CreateZooEffect(kAnswers, host); }
