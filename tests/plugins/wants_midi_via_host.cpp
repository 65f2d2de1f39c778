// Says no to both MIDI input questions, but asks its host for MIDI while it is created.
#include "tests/plugins/PluginKit.h"

namespace {
const CPluginAnswers kAnswers{.name = "Wants Midi Via Host", .uniqueId = 0x5A574D48, .numInputs = 0};
}

ZOO_EXPORT AEffect* VSTPluginMain(AudioMasterCallback host)
{
    host(nullptr, audioMasterWantMidi, 0, 1, nullptr, 0.0f);
    return CreateZooEffect(kAnswers, host);
}
