// A VST 2 plug-in of the check zoo: its behaviour is the one it was built with.
#include <cstdio>

#include "probe/vst2/Vst2Abi.h"
#include "tests/plugins/check/CheckZoo.h"

namespace {

struct CZooEffect {
    AEffect effect{};
    AudioMasterCallback host = nullptr;
    CZooSound sound;
    void* editor = nullptr;
    std::string chunk;
    VstMidiEvent received[2] = {};  // a MIDI effect sends on what it got
    int32_t receivedCount = 0;
};

CZooEffect* Zoo(AEffect* effect) { return static_cast<CZooEffect*>(effect->object); }

void CopyText(void* pointer, const char* text) { std::strcpy(static_cast<char*>(pointer), text); }

intptr_t Dispatcher(AEffect* effect, int32_t opcode, int32_t index, intptr_t value, void* pointer, float opt)
{
    CZooEffect* zoo = Zoo(effect);
    switch (opcode) {
    case effClose: delete zoo; return 1;
    case effGetParamName: CopyText(pointer, index == 0 ? "Gain" : "Drive"); return 0;
    case effGetParamDisplay: std::snprintf(static_cast<char*>(pointer), 8, "%.2f", zoo->sound.Get(index)); return 0;
    case effGetParamLabel: CopyText(pointer, ""); return 0;
    case effSetSampleRate: zoo->sound.sampleRate = opt; return 0;
    case effMainsChanged: if (value) HangIfAsked(); return 0;
    case effEditOpen: zoo->editor = OpenZooEditor(pointer); return 1;
    case effEditClose: if (zoo->editor) CloseZooEditor(zoo->editor); zoo->editor = nullptr; return 0;
    case effGetChunk: {
        zoo->chunk = zoo->sound.StateBytes();
        *static_cast<void**>(pointer) = zoo->chunk.data();
        return static_cast<intptr_t>(zoo->chunk.size());
    }
    case effSetChunk: return zoo->sound.LoadStateBytes(static_cast<const uint8_t*>(pointer), static_cast<size_t>(value));
    case effSetProgram: if (value >= 0 && value < kProgramCount) zoo->sound.ChooseProgram(static_cast<int>(value)); return 0;
    case effGetProgram: return zoo->sound.program;
    case effGetProgramName: std::snprintf(static_cast<char*>(pointer), 24, "Program %d", zoo->sound.program + 1); return 0;
    case effProcessEvents: {
        const auto* list = static_cast<const VstEventList<2>*>(pointer);
        for (int32_t i = 0; i < list->numEvents; ++i) {
            const auto* midi = reinterpret_cast<const VstMidiEvent*>(list->events[i]);
            if (midi->type == kVstMidiType) zoo->sound.Note((midi->midiData[0] & 0xF0) == 0x90 && midi->midiData[2] > 0);
            if (midi->type == kVstMidiType && zoo->receivedCount < 2) zoo->received[zoo->receivedCount++] = *midi;
        }
        return 1;
    }
    case effSetProcessPrecision: return kBehaviour == CBehaviour::kRefuses64Bits && value == kVstProcessPrecision64 ? 0 : 1;
    case effGetPlugCategory: return kInstrument ? kPlugCategSynth : kPlugCategEffect;
    case effGetEffectName: CopyText(pointer, kInstrument ? "Zoo Check Synth" : "Zoo Check Effect"); return 1;
    case effGetVendorString: CopyText(pointer, "Tessarine Test Zoo"); return 1;
    case effCanDo: {
        const char* asked = static_cast<const char*>(pointer);
        if (std::strcmp(asked, "receiveVstMidiEvent") == 0) return kTakesNotes ? 1 : 0;
        if (std::strcmp(asked, "sendVstMidiEvent") == 0) return kMidiEffect ? 1 : 0;
        return 0;
    }
    default: return 0;
    }
}

void SetParameter(AEffect* effect, int32_t index, float value) { Zoo(effect)->sound.Set(index, value); }
float GetParameter(AEffect* effect, int32_t index) { return static_cast<float>(Zoo(effect)->sound.Get(index)); }
// A MIDI effect passes its notes on through the host.
void SendReceived(AEffect* effect)
{
    CZooEffect* zoo = Zoo(effect);
    if (!kMidiEffect || zoo->receivedCount == 0) return;
    VstEventList<2> list{};
    for (int32_t i = 0; i < zoo->receivedCount; ++i) list.events[i] = reinterpret_cast<VstEvent*>(&zoo->received[i]);
    list.numEvents = zoo->receivedCount;
    zoo->host(effect, audioMasterProcessEvents, 0, 0, &list, 0);
    zoo->receivedCount = 0;
}
void Process32(AEffect* effect, float** inputs, float** outputs, int32_t frames)
{
    Zoo(effect)->sound.Process(inputs, effect->numInputs, outputs, effect->numOutputs, frames);
    SendReceived(effect);
}
void Process64(AEffect* effect, double** inputs, double** outputs, int32_t frames)
{
    Zoo(effect)->sound.Process(inputs, effect->numInputs, outputs, effect->numOutputs, frames);
    if (kBehaviour == CBehaviour::kRefuses64Bits && frames > 0 && effect->numOutputs > 0) outputs[0][0] = std::nan("");
    SendReceived(effect);
}

}  // namespace

ZOO_EXPORT AEffect* VSTPluginMain(AudioMasterCallback host)
{
    auto* zoo = new CZooEffect;
    zoo->host = host;
    AEffect& effect = zoo->effect;
    effect.magic = kEffectMagic;
    effect.dispatcher = Dispatcher;
    effect.setParameter = SetParameter;
    effect.getParameter = GetParameter;
    effect.processReplacing = Process32;
    effect.processDoubleReplacing = Process64;
    effect.numPrograms = kProgramCount;
    effect.numParams = 2;
    effect.numInputs = kInputChannels;
    effect.numOutputs = kOutputChannels;
    effect.flags = effFlagsCanReplacing | effFlagsCanDoubleReplacing | effFlagsProgramChunks | effFlagsHasEditor |
                   (kInstrument ? effFlagsIsSynth : 0);
    effect.object = zoo;
    effect.uniqueID = 0x5A430000 + ZOO_CHECK_BEHAVIOUR;
    effect.version = 1;
    return &effect;
}
