// A file of two plug-ins: an effect with stereo audio ports, an instrument with a note input.
#include "tests/plugins/ClapKit.h"

namespace {
const char* const kEffect[] = {"audio-effect", "delay", "stereo", nullptr};
const char* const kInstrument[] = {"instrument", "synthesizer", "stereo", nullptr};
}  // namespace

const CZooClapPlugin ZooClapPlugins[] = {
    {"com.tessarine.zoo.delay", "Zoo Clap Delay", kEffect, 2, 2, false, false, nullptr},
    {"com.tessarine.zoo.synth", "Zoo Clap Synth", kInstrument, 0, 2, true, false, nullptr},
};
const uint32_t ZooClapPluginCount = 2;

ZOO_EXPORT const clap::PluginEntry clap_entry{{1, 2, 0}, ZooEntryInit, ZooEntryDeinit, ZooGetFactory};
