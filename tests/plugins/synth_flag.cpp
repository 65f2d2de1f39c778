// An instrument known by its synth flag, although it answers category 1.
#include "tests/plugins/PluginKit.h"

namespace {
const CPluginAnswers kAnswers{.name = "Synth Flag", .product = "Zoo Synth", .uniqueId = 0x5A53796E, .category = kPlugCategEffect, .numInputs = 0, .numOutputs = 2, .flags = effFlagsCanReplacing | effFlagsIsSynth, .vendorVersion = 2, .receiveVstMidiEvent = 1};
}

ZOO_EXPORT AEffect* VSTPluginMain(AudioMasterCallback host) { return CreateZooEffect(kAnswers, host); }
