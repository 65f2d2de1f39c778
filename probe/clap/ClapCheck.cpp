#include "probe/clap/ClapCheck.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <limits>
#include <vector>

#include "probe/AudioThread.h"
#include "probe/CheckDriver.h"
#include "probe/EditorWindow.h"
#include "probe/LibraryLoading.h"
#include "probe/ProbeState.h"
#include "probe/PluginLibrary.h"
#include "probe/ProcessGuard.h"
#include "probe/ProcessTimer.h"
#include "probe/clap/ClapHostExtensions.h"
#include "probe/clap/ClapModule.h"
#include "protocol/LogLine.h"
#include "protocol/Utf8.h"

using namespace clap;

namespace {

constexpr int16_t kMiddleC = 60;

// The events of one call: what the host sends, in time order.
struct CEventQueue {
    std::vector<std::vector<uint8_t>> events;
    InputEvents list{this, Size, Get};

    static uint32_t Size(const InputEvents* list) { return static_cast<uint32_t>(Self(list)->events.size()); }
    static const EventHeader* Get(const InputEvents* list, uint32_t index)
    {
        const CEventQueue* self = Self(list);
        return index < self->events.size() ? reinterpret_cast<const EventHeader*>(self->events[index].data()) : nullptr;
    }
    static const CEventQueue* Self(const InputEvents* list) { return static_cast<const CEventQueue*>(list->ctx); }
    template <typename Event>
    void Add(const Event& event)
    {
        const auto* bytes = reinterpret_cast<const uint8_t*>(&event);
        events.emplace_back(bytes, bytes + sizeof(Event));
    }
};

// What a plug-in sends: counted, the notes and MIDI apart.
struct CEventSink {
    int64_t events = 0, notes = 0;
    OutputEvents list{this, Push};

    static bool Push(const OutputEvents* list, const EventHeader* event)
    {
        if (event == nullptr) return false;
        auto* self = static_cast<CEventSink*>(list->ctx);
        ++self->events;
        if (event->spaceId == 0 && (event->type == kNoteOn || event->type == kNoteOff || event->type == kMidi ||
                                    event->type == kMidiSysex || event->type == kMidi2))
            ++self->notes;
        return true;
    }
};

struct CByteStream {
    std::vector<uint8_t> bytes;
    size_t position = 0;
    bool refused = false;  // a plug-in that goes on as if it had been written has lost its state
    OutputStream out{this, Write};
    InputStream in{this, Read};

    static int64_t Write(const OutputStream* stream, const void* buffer, uint64_t size)
    {
        auto* self = static_cast<CByteStream*>(stream->ctx);
        if (size > 0 && buffer == nullptr) return -1;
        if (size > kLargestCheckedState || self->bytes.size() + size > kLargestCheckedState) {
            self->refused = true;
            return -1;
        }
        const auto* begin = static_cast<const uint8_t*>(buffer);
        self->bytes.insert(self->bytes.end(), begin, begin + size);
        return static_cast<int64_t>(size);
    }
    static int64_t Read(const InputStream* stream, void* buffer, uint64_t size)
    {
        auto* self = static_cast<CByteStream*>(stream->ctx);
        if (size > 0 && buffer == nullptr) return -1;
        const uint64_t n = std::min<uint64_t>(size, self->bytes.size() - self->position);
        if (n > 0) std::memcpy(buffer, self->bytes.data() + self->position, n);
        self->position += n;
        return static_cast<int64_t>(n);
    }
};

class CClapPlugin : public CCheckedPlugin {
public:
    CClapPlugin(const PluginFactory* factory, const char* id) : factory(factory), id(id) {}

    bool Open(std::u16string& error) override
    {
        LogInfo(u"Calling create_plugin...\n");
        plugin = factory->createPlugin(factory, &ClapHost, id);
        if (plugin == nullptr) {
            error = u"create_plugin returned no plug-in";
            return false;
        }
        LogInfo(u"Calling init...\n");
        if (!plugin->init(plugin)) {
            error = u"its init returned false";
            return false;
        }
        params = static_cast<const PluginParams*>(plugin->getExtension(plugin, kParamsId));
        state = static_cast<const PluginState*>(plugin->getExtension(plugin, kStateId));
        latency = static_cast<const PluginLatency*>(plugin->getExtension(plugin, kLatencyId));
        tail = static_cast<const PluginTail*>(plugin->getExtension(plugin, kTailId));
        gui = static_cast<const PluginGui*>(plugin->getExtension(plugin, kGuiId));
        portsConfig = static_cast<const PluginAudioPortsConfig*>(plugin->getExtension(plugin, kAudioPortsConfigId));
        return true;
    }
    CPluginLayout Layout() override
    {
        CPluginLayout layout;
        bool all64 = true;
        if (auto ports = static_cast<const PluginAudioPorts*>(plugin->getExtension(plugin, kAudioPortsId))) {
            for (bool input : {true, false}) {
                // One more than the check runs, so that it can say the plug-in claims too many.
                const uint32_t count = std::min<uint32_t>(ports->count(plugin, input), 65);
                for (uint32_t i = 0; i < count; ++i) {
                    AudioPortInfo info{};
                    if (!ports->get(plugin, i, input, &info)) info.channelCount = 0;
                    all64 = all64 && (info.flags & kAudioPortSupports64Bits) != 0;
                    (input ? layout.inputs : layout.outputs).push_back(static_cast<int32_t>(std::min<uint32_t>(info.channelCount, INT32_MAX)));
                }
            }
        }
        if (auto notes = static_cast<const PluginNotePorts*>(plugin->getExtension(plugin, kNotePortsId))) {
            layout.takesNotes = notes->count(plugin, true) > 0;
            layout.sendsNotes = notes->count(plugin, false) > 0;
        }
        layout.instrument = layout.takesNotes && layout.inputs.empty() && !layout.outputs.empty();
        layout.audio64 = all64 && !(layout.inputs.empty() && layout.outputs.empty());
        layout.editor = gui != nullptr && gui->isApiSupported(plugin, kClapEditorApi, false);
        inputs = layout.inputs;
        outputs = layout.outputs;
        return layout;
    }
    bool Activate(double sampleRate, int32_t maxFrames, bool, std::u16string& error) override
    {
        LogInfo(u"Calling activate...\n");
        if (!plugin->activate(plugin, sampleRate, 1, static_cast<uint32_t>(maxFrames))) {
            error = u"activate returned false";
            return false;
        }
        active = true;
        steadyTime = 0;
        return true;
    }
    bool StartProcessing(std::u16string& error) override
    {
        if (!plugin->startProcessing(plugin)) {
            error = u"start_processing returned false";
            return false;
        }
        processing = true;
        return true;
    }
    void StopProcessing() override
    {
        plugin->stopProcessing(plugin);
        processing = false;
    }
    // The configurations it offers itself.
    std::vector<CBusLayout> BusLayouts() override
    {
        std::vector<CBusLayout> layouts;
        if (portsConfig == nullptr) return layouts;
        const uint32_t count = std::min<uint32_t>(portsConfig->count(plugin), kMostConfigs);
        for (uint32_t index = 0; index < count; ++index) {
            AudioPortsConfig config{};
            if (!portsConfig->get(plugin, index, &config)) continue;
            CBusLayout layout;
            layout.name = PluginText(config.name, sizeof(config.name));
            layout.mainIn = config.hasMainInput ? static_cast<int32_t>(std::min<uint32_t>(config.mainInputChannelCount, INT32_MAX)) : 0;
            layout.mainOut = config.hasMainOutput ? static_cast<int32_t>(std::min<uint32_t>(config.mainOutputChannelCount, INT32_MAX)) : 0;
            layout.configId = config.id;
            layouts.push_back(layout);
        }
        return layouts;
    }
    bool OfferLayout(const CBusLayout& offered, CPluginLayout& layout) override
    {
        LogInfo(u"Calling audio-ports-config.select...\n");
        if (!portsConfig->select(plugin, offered.configId)) return false;
        layout = Layout();
        return true;
    }
    uint32_t LatencySamples() override { return latency ? latency->get(plugin) : 0; }
    uint32_t TailSamples() override
    {
        if (tail == nullptr) return kTailUnknown;
        const uint32_t samples = tail->get(plugin);
        return samples >= INT32_MAX ? kTailEndless : samples;
    }
    bool Process(CCheckBlock& block, std::u16string& error) override
    {
        std::vector<AudioBuffer> ins = Buffers(inputs, block, block.inputs32.data(), block.inputs64.data());
        std::vector<AudioBuffer> outs = Buffers(outputs, block, block.outputs32.data(), block.outputs64.data());
        // The main thread's edits at the block's start, then automation and notes, in time order.
        CEventQueue& events = blockEvents;
        events.events.clear();
        edits.TakeAll(takenEdits);
        for (const auto& [id, value] : takenEdits) events.Add(ValueEvent(id, value, 0));
        for (const CParameterPoint& point : block.points) events.Add(ValueEvent(Id(point.index), point.value, point.offset));
        AddNote(events, block.noteOn, true);
        AddNote(events, block.noteOff, false);
        std::stable_sort(events.events.begin(), events.events.end(), [](const auto& a, const auto& b) {
            return reinterpret_cast<const EventHeader*>(a.data())->time < reinterpret_cast<const EventHeader*>(b.data())->time;
        });
        CEventSink sent;
        clap::Process call{};
        call.steadyTime = steadyTime;
        call.framesCount = static_cast<uint32_t>(block.frames);
        call.audioInputs = ins.empty() ? nullptr : ins.data();
        call.audioOutputs = outs.empty() ? nullptr : outs.data();
        call.audioInputsCount = static_cast<uint32_t>(ins.size());
        call.audioOutputsCount = static_cast<uint32_t>(outs.size());
        call.inEvents = &events.list;
        call.outEvents = &sent.list;
        steadyTime += block.frames;
        int32_t status;
        {
            CTimedCall timed(block.timer);
            status = plugin->process(plugin, &call);
        }
        block.eventsOut += sent.notes;
        if (status != kProcessError) return true;
        error = u"process returned CLAP_PROCESS_ERROR";
        return false;
    }
    void Deactivate() override
    {
        if (processing) plugin->stopProcessing(plugin);
        if (active) plugin->deactivate(plugin);
        processing = active = false;
    }
    int32_t ParameterCount() override { return params ? static_cast<int32_t>(std::min<uint32_t>(params->count(plugin), INT32_MAX)) : 0; }
    bool ReadParameter(int32_t index, CParameterInfo& info) override
    {
        ParamInfo parameter{};
        if (!params->getInfo(plugin, static_cast<uint32_t>(index), &parameter)) return false;
        ids.resize(std::max<size_t>(ids.size(), index + 1));
        ids[index] = parameter.id;
        info.name = PluginText(parameter.name, sizeof(parameter.name));
        info.minimum = parameter.minValue;
        info.maximum = parameter.maxValue;
        info.defaultValue = parameter.defaultValue;
        info.readOnly = (parameter.flags & kParamIsReadOnly) != 0;
        info.stepped = (parameter.flags & kParamIsStepped) != 0;
        info.automatable = (parameter.flags & kParamIsAutomatable) != 0;
        info.hidden = (parameter.flags & kParamIsHidden) != 0;
        // A stepped parameter's values are whole numbers: its range is its steps.
        const double range = parameter.maxValue - parameter.minValue;
        if ((parameter.flags & kParamIsStepped) && range >= 1 && range < 1e9) info.steps = static_cast<int32_t>(range);
        return true;
    }
    double ParameterValue(int32_t index) override
    {
        double value = 0;
        if (!params->getValue(plugin, Id(index), &value)) return std::numeric_limits<double>::quiet_NaN();
        return value;
    }
    CParameterText ParameterText(int32_t index) override
    {
        char text[kNameSize + 64] = {};
        params->valueToText(plugin, Id(index), ParameterValue(index), text, kNameSize);
        return {PluginText(text, kNameSize), text[kNameSize - 1] == 0};
    }
    // An active plug-in gets the change in the next block's events, on the audio thread; an
    // inactive one through flush, on the main thread.
    void SetParameter(int32_t index, double value) override
    {
        if (active) {
            edits.Add(Id(index), value);
            return;
        }
        CEventQueue events;
        events.Add(ValueEvent(Id(index), value, 0));
        CEventSink sent;
        params->flush(plugin, &events.list, &sent.list);
    }
    CStateSupport SaveState(std::vector<uint8_t>& bytes, std::u16string& error) override
    {
        if (state == nullptr) return CStateSupport::kNone;
        CByteStream stream;
        LogInfo(u"Calling state.save...\n");
        if (!state->save(plugin, &stream.out)) {
            error = u"state.save returned false";
            return CStateSupport::kFailed;
        }
        if (stream.refused) {
            error = u"its state is larger than the 256 MiB a check keeps: the stream refused the rest";
            return CStateSupport::kFailed;
        }
        // Nothing written: a plug-in whose settings are all parameters a host keeps itself.
        if (stream.bytes.empty()) return CStateSupport::kNone;
        bytes = std::move(stream.bytes);
        return CStateSupport::kSaved;
    }
    bool LoadState(const std::vector<uint8_t>& bytes, std::u16string& error) override
    {
        CByteStream stream;
        stream.bytes = bytes;
        LogInfo(u"Calling state.load...\n");
        if (state->load(plugin, &stream.in)) return true;
        error = u"state.load returned false";
        return false;
    }
    bool OpenEditor(void* parent, std::u16string& error) override
    {
        if (gui == nullptr || !gui->isApiSupported(plugin, kClapEditorApi, false)) return false;
        SetClapEditorPlugin(plugin);
        LogInfo(u"Calling gui.create...\n");
        if (!gui->create(plugin, kClapEditorApi, false)) {
            error = u"gui.create returned false";
            return false;
        }
        guiCreated = true;
        const Window window{kClapEditorApi, parent};
        LogInfo(u"Calling gui.set_parent and gui.show...\n");
        if (!gui->setParent(plugin, &window)) {
            error = u"gui.set_parent returned false";
            return false;
        }
        gui->show(plugin);
        return true;
    }
    void IdleEditor() override { FireClapTimers(plugin); }
    void CloseEditor() override
    {
        if (guiCreated) {
            LogInfo(u"Calling gui.hide and gui.destroy...\n");
            gui->hide(plugin);
            gui->destroy(plugin);
            guiCreated = false;
        }
        SetClapEditorPlugin(nullptr);
    }
    void Close() override
    {
        if (plugin == nullptr) return;
        CloseEditor();
        Deactivate();
        LogInfo(u"Calling destroy...\n");
        plugin->destroy(plugin);
        plugin = nullptr;
        ForgetClapTimers();
    }

private:
    uint32_t Id(int32_t index) const { return index < static_cast<int32_t>(ids.size()) ? ids[index] : 0; }
    static EventParamValue ValueEvent(uint32_t id, double value, int32_t offset)
    {
        EventParamValue event{};
        event.header = {sizeof(EventParamValue), static_cast<uint32_t>(offset), 0, kParamValue, 0};
        event.paramId = id;
        event.noteId = -1;
        event.portIndex = event.channel = event.key = -1;
        event.value = value;
        return event;
    }
    static std::vector<AudioBuffer> Buffers(const std::vector<int32_t>& ports, const CCheckBlock& block, float* const* flat32,
                                            double* const* flat64)
    {
        std::vector<AudioBuffer> buffers;
        size_t at = 0;
        for (int32_t channels : ports) {
            AudioBuffer buffer{};
            buffer.channelCount = static_cast<uint32_t>(channels);
            if (block.use64) buffer.data64 = const_cast<double**>(flat64 + at);
            else buffer.data32 = const_cast<float**>(flat32 + at);
            at += channels;
            buffers.push_back(buffer);
        }
        return buffers;
    }
    static void AddNote(CEventQueue& events, int32_t offset, bool on)
    {
        if (offset < 0) return;
        EventNote note{};
        note.header = {sizeof(EventNote), static_cast<uint32_t>(offset), 0, on ? kNoteOn : kNoteOff, 0};
        note.noteId = -1;
        note.portIndex = 0;
        note.channel = 0;
        note.key = kMiddleC;
        note.velocity = on ? 0.8 : 0;
        events.Add(note);
    }

    const PluginFactory* factory;
    const char* id;
    const Plugin* plugin = nullptr;
    const PluginParams* params = nullptr;
    const PluginState* state = nullptr;
    const PluginLatency* latency = nullptr;
    const PluginTail* tail = nullptr;
    const PluginGui* gui = nullptr;
    const PluginAudioPortsConfig* portsConfig = nullptr;
    static constexpr uint32_t kMostConfigs = 32;
    bool active = false, guiCreated = false;
    std::atomic<bool> processing{false};
    int64_t steadyTime = 0;
    std::vector<int32_t> inputs, outputs;
    std::vector<uint32_t> ids;
    CEventQueue blockEvents;
    CValueHandOver edits;  // from the main thread, for the next block
    std::vector<std::pair<uint32_t, double>> takenEdits;
};

}  // namespace

bool CheckClapPlugin(const std::u16string& path, const std::string& id, bool withEditor, CCheckResult& result,
                     std::u16string& error)
{
    result.format = u"clap";
    PluginModule module = LoadPluginLibrary(path, error);
    if (module == nullptr) return false;
    bool checked = false;
    std::u16string version;
    if (const PluginEntry* entry = FindClapEntry(module, version, error)) {
        LogInfo(u"Calling clap_entry.init...\n");
        if (!entry->init(SystemPath(path).c_str())) {
            error = u"clap_entry.init returned false";
        } else {
            LogInfo(u"Calling get_factory...\n");
            const auto* factory = static_cast<const PluginFactory*>(entry->getFactory(kPluginFactoryId));
            if (factory == nullptr) {
                error = u"no plug-in factory (clap.plugin-factory)";
            } else {
                CClapPlugin plugin(factory, id.c_str());
                RunCheck(plugin, withEditor, result);
                checked = true;
            }
            LogInfo(u"Calling clap_entry.deinit...\n");
            entry->deinit();
        }
        TakeProcessBack();
    }
    FreePluginLibrary(module);
    return checked;
}
