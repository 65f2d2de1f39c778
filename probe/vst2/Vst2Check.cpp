#include "probe/vst2/Vst2Check.h"

#include <algorithm>
#include <cstring>

#include "probe/CheckDriver.h"
#include "probe/LibraryLoading.h"
#include "probe/ProbeState.h"
#include "probe/ProcessGuard.h"
#include "probe/ProcessTimer.h"
#include "probe/vst2/HostCallback.h"
#include "protocol/Format.h"
#include "protocol/LogLine.h"

namespace {

constexpr int32_t kMiddleC = 60;

class CVst2Plugin : public CCheckedPlugin {
public:
    explicit CVst2Plugin(AEffect* effect) : effect(effect) {}

    bool Open(std::u16string&) override
    {
        LogInfo(u"Calling effOpen...\n");
        Dispatch(effOpen);
        SetUp(44100, 512);
        return true;
    }
    CPluginLayout Layout() override
    {
        CPluginLayout layout;
        if (effect->numInputs > 0) layout.inputs.push_back(effect->numInputs);
        if (effect->numOutputs > 0) layout.outputs.push_back(effect->numOutputs);
        const bool synth = (effect->flags & effFlagsIsSynth) != 0 || Dispatch(effGetPlugCategory) == kPlugCategSynth;
        layout.takesNotes = synth || CanDo("receiveVstMidiEvent") || CanDo("receiveVstEvents");
        layout.sendsNotes = CanDo("sendVstMidiEvent") || CanDo("sendVstEvents");
        layout.instrument = synth && !layout.outputs.empty();
        // A plug-in that refuses 64-bit precision is processed in 32 bits only, whatever its flags say.
        layout.audio64 = (effect->flags & effFlagsCanDoubleReplacing) != 0 && effect->processDoubleReplacing != nullptr &&
                         Dispatch(effSetProcessPrecision, 0, kVstProcessPrecision64) == 1;
        if (layout.audio64) Dispatch(effSetProcessPrecision, 0, 0);
        layout.editor = (effect->flags & effFlagsHasEditor) != 0;
        return layout;
    }
    bool Activate(double sampleRate, int32_t maxFrames, bool use64, std::u16string& error) override
    {
        SetUp(sampleRate, maxFrames);
        if (use64) Dispatch(effSetProcessPrecision, 0, kVstProcessPrecision64);
        LogInfo(u"Calling effMainsChanged and effStartProcess...\n");
        Dispatch(effMainsChanged, 0, 1);
        Dispatch(effStartProcess);
        if (!use64 && effect->processReplacing == nullptr) {
            error = u"it has no processReplacing";
            return false;
        }
        return true;
    }
    // A negative delay is no latency a host can use: unknown, as VST 3 and CLAP give it.
    uint32_t LatencySamples() override { return effect->initialDelay < 0 ? UINT32_MAX : static_cast<uint32_t>(effect->initialDelay); }
    uint32_t TailSamples() override
    {
        // 0 is the answer of a plug-in that does not say; 1 means no tail.
        const intptr_t tail = Dispatch(effGetTailSize);
        if (tail <= 0) return kTailUnknown;
        return tail == 1 ? 0 : static_cast<uint32_t>(std::min<intptr_t>(tail, kTailUnknown - 1));
    }
    // Automation inside a block splits it, as hosts do: the values of each point are set from
    // the audio thread, then the part up to the next point is processed.
    bool Process(CCheckBlock& block, std::u16string&) override
    {
        Vst2EventsSent = 0;
        size_t point = 0;
        for (int32_t start = 0; start < block.frames;) {
            while (point < block.points.size() && block.points[point].offset <= start) {
                effect->setParameter(effect, block.points[point].index, static_cast<float>(block.points[point].value));
                ++point;
            }
            const int32_t end = point < block.points.size() ? std::min(block.points[point].offset, block.frames) : block.frames;
            ProcessPart(block, start, end);
            start = end;
        }
        block.eventsOut += Vst2EventsSent;
        return true;
    }
    void Deactivate() override
    {
        Dispatch(effStopProcess);
        Dispatch(effMainsChanged, 0, 0);
        Dispatch(effSetProcessPrecision, 0, 0);
    }
    int32_t ParameterCount() override { return effect->numParams; }
    bool ReadParameter(int32_t index, CParameterInfo& info) override
    {
        info.name = Text(effGetParamName, index).text;
        info.defaultValue = effect->getParameter(effect, index);
        return true;
    }
    double ParameterValue(int32_t index) override { return effect->getParameter(effect, index); }
    CParameterText ParameterText(int32_t index) override
    {
        CParameterText display = Text(effGetParamDisplay, index), label = Text(effGetParamLabel, index);
        return {display.text + label.text, display.ended && label.ended};
    }
    void SetParameter(int32_t index, double value) override { effect->setParameter(effect, index, static_cast<float>(value)); }
    bool HostKeepsParameters() override { return true; }
    int32_t ProgramCount() override { return effect->numPrograms; }
    std::u16string ChooseProgram(int32_t program) override
    {
        Dispatch(effBeginSetProgram);
        Dispatch(effSetProgram, 0, program);
        Dispatch(effEndSetProgram);
        return Text(effGetProgramName, 0).text;
    }
    CStateSupport SaveState(std::vector<uint8_t>& bytes, std::u16string& error) override
    {
        if ((effect->flags & effFlagsProgramChunks) == 0) return CStateSupport::kNone;
        LogInfo(u"Calling effGetChunk...\n");
        void* data = nullptr;
        const intptr_t size = Dispatch(effGetChunk, 0, 0, &data);
        if (size <= 0 || data == nullptr) {
            error = u"effGetChunk gave no chunk";
            return CStateSupport::kFailed;
        }
        if (static_cast<uint64_t>(size) > kLargestCheckedState) {
            error = FormatString(u"effGetChunk claims %u MiB", static_cast<unsigned>(static_cast<uint64_t>(size) >> 20));
            return CStateSupport::kFailed;
        }
        const auto* begin = static_cast<const uint8_t*>(data);
        bytes.assign(begin, begin + size);
        return CStateSupport::kSaved;
    }
    bool LoadState(const std::vector<uint8_t>& bytes, std::u16string&) override
    {
        LogInfo(u"Calling effSetChunk...\n");
        std::vector<uint8_t> copy = bytes;  // the plug-in may keep or change what it is given
        Dispatch(effSetChunk, 0, static_cast<intptr_t>(copy.size()), copy.data());
        return true;
    }
    bool OpenEditor(void* parent, std::u16string&) override
    {
        void* rect = nullptr;
        LogInfo(u"Calling effEditGetRect and effEditOpen...\n");
        Dispatch(effEditGetRect, 0, 0, &rect);
        // Its answer is no verdict: many plug-ins answer 0 for an editor that opened.
        Dispatch(effEditOpen, 0, 0, parent);
        editorOpen = true;
        return true;
    }
    void IdleEditor() override { Dispatch(effEditIdle); }
    void CloseEditor() override
    {
        if (!editorOpen) return;
        LogInfo(u"Calling effEditClose...\n");
        Dispatch(effEditClose);
        editorOpen = false;
    }
    void Close() override
    {
        LogInfo(u"Calling effClose...\n");
        Dispatch(effClose);
    }

private:
    intptr_t Dispatch(int32_t opcode, int32_t index = 0, intptr_t value = 0, void* pointer = nullptr, float opt = 0)
    {
        return effect->dispatcher(effect, opcode, index, value, pointer, opt);
    }
    bool CanDo(const char* capability)
    {
        return Dispatch(effCanDo, 0, 0, const_cast<char*>(capability)) > 0;
    }
    void SetUp(double sampleRate, int32_t maxFrames)
    {
        Dispatch(effSetSampleRate, 0, 0, nullptr, static_cast<float>(sampleRate));
        Dispatch(effSetBlockSize, 0, maxFrames);
    }
    CParameterText Text(int32_t opcode, int32_t index)
    {
        char text[kVstTextBufferSize + 512] = {};  // room for plug-ins that write past the nominal 8
        Dispatch(opcode, index, 0, text);
        return {PluginText(text, kVstTextBufferSize), text[sizeof(text) - 1] == 0};
    }
    // The samples from `start` to `end` of the block, with the notes that fall in them.
    void ProcessPart(CCheckBlock& block, int32_t start, int32_t end)
    {
        SendNotes(block, start, end);
        CTimedCall timed(block.timer);
        if (start == 0 && end == block.frames) {
            if (block.use64) effect->processDoubleReplacing(effect, block.inputs64.data(), block.outputs64.data(), end);
            else effect->processReplacing(effect, block.inputs32.data(), block.outputs32.data(), end);
        } else if (block.use64) {
            parts64[0] = block.inputs64, parts64[1] = block.outputs64;
            for (auto& channels : parts64)
                for (double*& channel : channels) channel += start;
            effect->processDoubleReplacing(effect, parts64[0].data(), parts64[1].data(), end - start);
        } else {
            parts32[0] = block.inputs32, parts32[1] = block.outputs32;
            for (auto& channels : parts32)
                for (float*& channel : channels) channel += start;
            effect->processReplacing(effect, parts32[0].data(), parts32[1].data(), end - start);
        }
    }
    void SendNotes(const CCheckBlock& block, int32_t start, int32_t end)
    {
        VstMidiEvent notes[2] = {};
        VstEventList<2> list{};
        for (int i : {0, 1}) {
            const int32_t at = i == 0 ? block.noteOn : block.noteOff;
            if (at < start || at >= end) continue;
            VstMidiEvent& note = notes[list.numEvents];
            note.type = kVstMidiType;
            note.byteSize = sizeof(VstMidiEvent);
            note.deltaFrames = at - start;
            note.midiData[0] = static_cast<uint8_t>(i == 0 ? 0x90 : 0x80);
            note.midiData[1] = kMiddleC;
            note.midiData[2] = i == 0 ? 100 : 0;
            list.events[list.numEvents++] = reinterpret_cast<VstEvent*>(&note);
        }
        if (list.numEvents > 0) Dispatch(effProcessEvents, 0, 0, &list);
    }

    AEffect* effect;
    bool editorOpen = false;
    std::vector<float*> parts32[2];  // the channels from a part's first sample, inputs and outputs
    std::vector<double*> parts64[2];
};

VstEntryPoint FindEntry(PluginModule module)
{
    void* entry = FindExport(module, "VSTPluginMain");
    if (entry == nullptr) entry = FindExport(module, "main");
    return reinterpret_cast<VstEntryPoint>(entry);
}

}  // namespace

bool CheckVst2Plugin(const std::u16string& libraryPath, int32_t shellId, bool withEditor, CCheckResult& result,
                     std::u16string& error)
{
    result.format = u"vst2";
    PluginModule module = LoadPluginLibrary(libraryPath, error);
    if (module == nullptr) return false;
    const VstEntryPoint entry = FindEntry(module);
    AEffect* effect = nullptr;
    if (entry == nullptr) {
        error = u"Entry point not found, not a VST plugin";
    } else {
        CurrentShellId = shellId;
        LogInfo(u"Calling entry point...\n");
        effect = entry(HostCallback);
        CurrentShellId = 0;
        TakeProcessBack();
        if (effect == nullptr) error = u"Entry point returned NULL";
        else if (effect->magic != kEffectMagic) error = u"Bad magic";
    }
    const bool checked = error.empty();
    if (checked) {
        CVst2Plugin plugin(effect);
        RunCheck(plugin, withEditor, result);
    }
    FreePluginLibrary(module);
    return checked;
}
