#include "bench/Floor.h"

namespace {

intptr_t QuietHost(AEffect*, int32_t opcode, int32_t, intptr_t, void*, float)
{
    return opcode == audioMasterVersion ? 2400 : 0;
}

intptr_t Ask(AEffect* effect, int32_t opcode, void* pointer = nullptr)
{
    return effect->dispatcher(effect, opcode, 0, 0, pointer, 0.0f);
}

}  // namespace

bool ProbeEntry(VstEntryPoint entry, const std::function<void()>& beforeQuestions)
{
    AEffect* effect = entry ? entry(QuietHost) : nullptr;
    const bool probed = effect && effect->magic == kEffectMagic;
    if (!probed) return false;
    beforeQuestions();
    char text[1024];
    for (int32_t opcode : {effGetEffectName, effGetVendorString, effGetProductString}) Ask(effect, opcode, text);
    Ask(effect, effGetPlugCategory);
    for (const char* capability : {"receiveVstMidiEvent", "receiveVstEvents", "sendVstMidiEvent", "sendVstEvents"})
        Ask(effect, effCanDo, const_cast<char*>(capability));
    Ask(effect, effGetVendorVersion);
    Ask(effect, effClose);
    return true;
}
