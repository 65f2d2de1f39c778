#include "tests/plugins/PluginKit.h"

#include <cstring>

AudioMasterCallback ZooHost = nullptr;

namespace {

void CopyText(void* destination, const char* text)
{
    const size_t length = std::strlen(text) < kVstTextBufferSize - 1 ? std::strlen(text) : kVstTextBufferSize - 1;
    std::memcpy(destination, text, length);
    static_cast<char*>(destination)[length] = '\0';
}

intptr_t CanDo(const CPluginAnswers& answers, const char* capability)
{
    if (std::strcmp(capability, "receiveVstMidiEvent") == 0) return answers.receiveVstMidiEvent;
    if (std::strcmp(capability, "receiveVstEvents") == 0) return answers.receiveVstEvents;
    if (std::strcmp(capability, "sendVstMidiEvent") == 0) return answers.sendVstMidiEvent;
    if (std::strcmp(capability, "sendVstEvents") == 0) return answers.sendVstEvents;
    return 0;
}

intptr_t ZooDispatcher(AEffect* effect, int32_t opcode, int32_t, intptr_t, void* pointer, float)
{
    const auto& answers = *static_cast<const CPluginAnswers*>(effect->object);
    intptr_t answer = 0;
    if (answers.special && answers.special(effect, opcode, pointer, &answer)) return answer;
    switch (opcode) {
    case effClose: delete effect; return 0;
    case effGetEffectName: CopyText(pointer, answers.name); return 1;
    case effGetVendorString: CopyText(pointer, answers.vendor); return 1;
    case effGetProductString: CopyText(pointer, answers.product); return 1;
    case effGetPlugCategory: return answers.category;
    case effGetVendorVersion: return answers.vendorVersion;
    case effCanDo: return CanDo(answers, static_cast<const char*>(pointer));
    default: return 0;
    }
}

}  // namespace

AEffect* CreateZooEffect(const CPluginAnswers& answers, AudioMasterCallback host)
{
    ZooHost = host;
    auto* effect = new AEffect{};
    effect->magic = kEffectMagic;
    effect->dispatcher = ZooDispatcher;
    effect->numInputs = answers.numInputs;
    effect->numOutputs = answers.numOutputs;
    effect->flags = answers.flags;
    effect->uniqueID = answers.uniqueId;
    effect->version = answers.vendorVersion;
    effect->object = const_cast<CPluginAnswers*>(&answers);
    return effect;
}

void TellHost(const char* message)
{
    ZooHost(nullptr, audioMasterCanDo, 0, 0, const_cast<char*>(message), 0.0f);
}

void WriteThroughNull()
{
    volatile int* volatile nowhere = nullptr;
    *nowhere = 1;
}

