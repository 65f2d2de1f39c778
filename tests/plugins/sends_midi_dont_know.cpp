// Answers 0 (don't know) to "sendVstMidiEvent" and tells the host every capability it is asked
// about, so the trace shows which questions the scanner asked.
#include "tests/plugins/PluginKit.h"

#include <string>

namespace {
bool TellCapabilityQuestions(AEffect*, int32_t opcode, void* pointer, intptr_t*)
{
    if (opcode == effCanDo) TellHost(("asked " + std::string(static_cast<const char*>(pointer))).c_str());
    return false;
}
const CPluginAnswers kAnswers{.name = "Sends Midi Dont Know", .uniqueId = 0x5A534D30, .receiveVstMidiEvent = -1,
                              .receiveVstEvents = 1, .sendVstMidiEvent = 0, .sendVstEvents = -1,
                              .special = TellCapabilityQuestions};
}  // namespace

ZOO_EXPORT AEffect* VSTPluginMain(AudioMasterCallback host) { return CreateZooEffect(kAnswers, host); }
