// A CLAP file of the check zoo: one plug-in with audio and note ports, parameters, state and a
// win32 editor. Its behaviour is the one it was built with.
#include <cstdio>

#include "probe/clap/ClapAbi.h"
#include "tests/plugins/check/CheckZoo.h"

using namespace clap;

namespace {

#define ZOO_TEXT(x) #x
#define ZOO_ID(n) "com.tessarine.zoo.check." ZOO_TEXT(n)

const char* const kFeatures[] = {kInstrument ? "instrument" : "audio-effect", nullptr};
const PluginDescriptor kDescriptor{{1, 2, 0}, ZOO_ID(ZOO_CHECK_BEHAVIOUR), kInstrument ? "Zoo Check Synth" : "Zoo Check Effect",
                                   "Tessarine Test Zoo", "", "", "", "1.0.0", "", kFeatures};

struct CZooClap {
    Plugin plugin{};
    CZooSound sound;
    void* editor = nullptr;
    void* parent = nullptr;
    const Host* host = nullptr;
    const HostThreadCheck* threads = nullptr;
    const HostTimerSupport* timers = nullptr;
    uint32_t timer = kInvalidId;
    int ticks = 0;  // the editor's timer fired this often
    CZooBuses buses;
};

CZooClap* Zoo(const Plugin* plugin) { return static_cast<CZooClap*>(plugin->pluginData); }

uint32_t AudioPortCount(const Plugin*, bool input) { return (input ? kInputChannels : kOutputChannels) > 0 ? kAudioBuses : 0; }
bool AudioPortGet(const Plugin* plugin, uint32_t index, bool input, AudioPortInfo* info)
{
    if (index >= AudioPortCount(plugin, input)) return false;
    *info = {};
    std::strcpy(info->name, "Main");
    info->id = index;
    info->flags = (index == 0 ? kAudioPortIsMain : 0) | kAudioPortSupports64Bits;
    info->channelCount = kManyBuses ? kBusChannels : Zoo(plugin)->buses.channels[input ? 0 : 1];
    info->portType = "stereo";
    info->inPlacePair = 0xFFFFFFFF;
    return true;
}
const PluginAudioPorts AudioPorts{AudioPortCount, AudioPortGet};

// The configurations it offers: stereo, and mono or stereo in, mono out, by behaviour.
constexpr bool kConfigs = kBehaviour == CBehaviour::kBusesRefuseMono || kBehaviour == CBehaviour::kCrashInStereoToMono;
uint32_t ConfigCount(const Plugin*) { return 2; }
bool ConfigGet(const Plugin*, uint32_t index, AudioPortsConfig* config)
{
    if (index >= 2) return false;
    *config = {};
    config->id = index;
    const int in = 2, out = index == 0 ? 2 : 1;
    std::snprintf(config->name, sizeof(config->name), "%s", index == 0 ? "stereo in, stereo out" : "stereo in, mono out");
    config->inputPortCount = config->outputPortCount = 1;
    config->hasMainInput = config->hasMainOutput = true;
    config->mainInputChannelCount = in;
    config->mainOutputChannelCount = out;
    config->mainInputPortType = config->mainOutputPortType = out == 2 ? "stereo" : "mono";
    return true;
}
// One that refuses mono offers that configuration too, and refuses it when chosen.
bool ConfigSelect(const Plugin* plugin, uint32_t id)
{
    const int out = id == 0 ? 2 : 1;
    if (id > 1 || !CZooBuses::Takes(2, out)) return false;
    Zoo(plugin)->buses.channels[1] = out;
    return true;
}
const PluginAudioPortsConfig PortsConfig{ConfigCount, ConfigGet, ConfigSelect};

uint32_t NotePortCount(const Plugin*, bool input) { return input ? kTakesNotes : kMidiEffect; }
bool NotePortGet(const Plugin*, uint32_t, bool, void*) { return false; }
const PluginNotePorts NotePorts{NotePortCount, NotePortGet};

uint32_t ParamCount(const Plugin*) { return kParameterCount; }
// A stepped parameter's values are whole numbers: one that snaps to quarters runs from 0 to 4.
double Scale(uint32_t id) { return kSnaps && id < 2 ? kSteps : 1; }
bool ParamInfoOf(const Plugin*, uint32_t index, ParamInfo* info)
{
    if (index >= kParameterCount) return false;
    *info = {};
    info->id = index;
    std::strcpy(info->name, kParameterNames[index]);
    info->minValue = 0;
    info->maxValue = Scale(index);
    info->defaultValue = index < 2 ? kDefaults[index] * Scale(index) : 0;
    info->flags = ParameterReadOnly(static_cast<int>(index)) ? kParamIsReadOnly : ParameterHidden(static_cast<int>(index)) ? kParamIsHidden : kParamIsAutomatable;
    if (kBehaviour == CBehaviour::kAutomatableReadOnly && index == 2) info->flags |= kParamIsAutomatable;
    if (kSnaps && index < 2) info->flags |= kParamIsStepped;
    return true;
}
bool ParamValue(const Plugin* plugin, uint32_t id, double* value)
{
    if (id >= kParameterCount) return false;
    *value = Zoo(plugin)->sound.Get(static_cast<int>(id)) * Scale(id);
    return true;
}
bool ParamText(const Plugin*, uint32_t, double value, char* text, uint32_t capacity)
{
    std::snprintf(text, capacity, "%.2f", value);
    return true;
}
bool ParamFromText(const Plugin*, uint32_t, const char*, double*) { return false; }
void ApplyEvents(CZooClap* zoo, const InputEvents* events, const OutputEvents* sent)
{
    for (uint32_t i = 0; events && i < events->size(events); ++i) {
        const EventHeader* header = events->get(events, i);
        if (header->type == kParamValue) {
            const auto* change = reinterpret_cast<const EventParamValue*>(header);
            if (change->paramId < 2)
                zoo->sound.SetAt(static_cast<int>(change->paramId), change->value / Scale(change->paramId), static_cast<int>(header->time));
        } else if (header->type == kNoteOn || header->type == kNoteOff) {
            zoo->sound.Note(header->type == kNoteOn);
            if (kMidiEffect && sent) sent->tryPush(sent, header);
        }
    }
}
// One that takes values only in process ignores a flush.
void ParamFlush(const Plugin* plugin, const InputEvents* in, const OutputEvents*)
{
    if (kBehaviour != CBehaviour::kValuesOnlyInProcess) ApplyEvents(Zoo(plugin), in, nullptr);
}
const PluginParams Params{ParamCount, ParamInfoOf, ParamValue, ParamText, ParamFromText, ParamFlush};

bool StateSave(const Plugin* plugin, const OutputStream* stream)
{
    const std::string bytes = Zoo(plugin)->sound.StateBytes();
    if (!Zoo(plugin)->sound.KeepsState()) return true;
    if (kBehaviour == CBehaviour::kHugeState) {
        WriteHugeState([&](const uint8_t* piece, size_t size) { stream->write(stream, piece, size); });
        return true;
    }
    return stream->write(stream, bytes.data(), bytes.size()) == static_cast<int64_t>(bytes.size());
}
bool StateLoad(const Plugin* plugin, const InputStream* stream)
{
    std::string bytes;
    char piece[256];
    for (int64_t n = 1; n > 0 && bytes.size() < (1u << 20);) {
        n = stream->read(stream, piece, sizeof(piece));
        if (n > 0) bytes.append(piece, static_cast<size_t>(n));
    }
    if (!Zoo(plugin)->sound.LoadStateBytes(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size())) return false;
    return kBehaviour != CBehaviour::kRefusesOwnState;
}
const PluginState State{StateSave, StateLoad};

bool GuiSupported(const Plugin*, const char* api, bool floating) { return !floating && std::strcmp(api, kZooClapEditorApi) == 0; }
bool GuiPreferred(const Plugin*, const char** api, bool* floating)
{
    *api = kZooClapEditorApi;
    *floating = false;
    return true;
}
// An editor that needs the host's gui and timers, as a framework's does: without them it does
// not open, and one whose timer never fired while it was open is a fault.
bool GuiCreate(const Plugin* plugin, const char* api, bool floating)
{
    CZooClap* zoo = Zoo(plugin);
    if (kBehaviour == CBehaviour::kGuiNeedsHost) {
        if (zoo->host->getExtension(zoo->host, kGuiId) == nullptr || zoo->timers == nullptr ||
            !zoo->timers->registerTimer(zoo->host, 16, &zoo->timer)) {
            std::fprintf(stderr, "assertion failure: \"hostGui != nullptr\"\n");
            return false;
        }
    }
    return GuiSupported(nullptr, api, floating);
}
void GuiDestroy(const Plugin* plugin)
{
    CZooClap* zoo = Zoo(plugin);
    if (zoo->editor) CloseZooEditor(zoo->editor);
    zoo->editor = nullptr;
    if (kBehaviour == CBehaviour::kGuiNeedsHost) {
        if (zoo->ticks == 0 || !zoo->timers->unregisterTimer(zoo->host, zoo->timer)) FaultHere();
        zoo->timer = kInvalidId;
    }
}
void OnTimer(const Plugin* plugin, uint32_t id)
{
    CZooClap* zoo = Zoo(plugin);
    if (id == zoo->timer && zoo->threads->isMainThread(zoo->host)) ++zoo->ticks;
}
const PluginTimerSupport TimerSupport{OnTimer};
uint32_t TailOf(const Plugin*) { return 0; }
const PluginTail Tail{TailOf};
bool GuiScale(const Plugin*, double) { return true; }
bool GuiSize(const Plugin*, uint32_t* width, uint32_t* height)
{
    *width = 300;
    *height = 200;
    return true;
}
bool GuiNo(const Plugin*) { return false; }
bool GuiHints(const Plugin*, void*) { return false; }
bool GuiAdjust(const Plugin*, uint32_t*, uint32_t*) { return false; }
bool GuiSetSize(const Plugin*, uint32_t, uint32_t) { return false; }
bool GuiParent(const Plugin* plugin, const Window* window)
{
    Zoo(plugin)->parent = window->handle;
    return true;
}
bool GuiTransient(const Plugin*, const Window*) { return false; }
void GuiTitle(const Plugin*, const char*) {}
bool GuiShow(const Plugin* plugin)
{
    CZooClap* zoo = Zoo(plugin);
    if (!zoo->editor) zoo->editor = OpenZooEditor(zoo->parent);
    return true;
}
bool GuiHide(const Plugin*) { return true; }
const PluginGui Gui{GuiSupported, GuiPreferred, GuiCreate, GuiDestroy, GuiScale, GuiSize, GuiNo, GuiHints,
                    GuiAdjust, GuiSetSize, GuiParent, GuiTransient, GuiTitle, GuiShow, GuiHide};

bool Init(const Plugin* plugin)
{
    CZooClap* zoo = Zoo(plugin);
    if (kBehaviour != CBehaviour::kGuiNeedsHost) return true;
    zoo->threads = static_cast<const HostThreadCheck*>(zoo->host->getExtension(zoo->host, kThreadCheckId));
    zoo->timers = static_cast<const HostTimerSupport*>(zoo->host->getExtension(zoo->host, kTimerSupportId));
    const auto* log = static_cast<const HostLog*>(zoo->host->getExtension(zoo->host, kLogId));
    if (zoo->threads == nullptr || log == nullptr || !zoo->threads->isMainThread(zoo->host)) return false;
    log->log(zoo->host, 1, "zoo: initialised");
    return true;
}
void Destroy(const Plugin* plugin) { delete Zoo(plugin); }
bool Activate(const Plugin* plugin, double sampleRate, uint32_t, uint32_t)
{
    HangIfAsked();
    Zoo(plugin)->sound.sampleRate = sampleRate;
    return true;
}
void Deactivate(const Plugin*) {}
bool StartProcessing(const Plugin*) { return true; }
void StopProcessing(const Plugin*) {}
void Reset(const Plugin*) {}
int32_t ProcessBlock(const Plugin* plugin, const void* call)
{
    CZooClap* zoo = Zoo(plugin);
    const auto* process = static_cast<const clap::Process*>(call);
    if (kBehaviour == CBehaviour::kAssertsOnMissingOutputs && process->outEvents == nullptr)
        std::fprintf(stderr, "assertion failure: \"outputEvents != nullptr\" in process\n");
    // Off the audio thread, as the host's thread check tells, it is broken: it says so in its output.
    if (kBehaviour == CBehaviour::kGuiNeedsHost && process->audioOutputsCount > 0 && process->framesCount > 0 &&
        (!zoo->threads->isAudioThread(zoo->host) || zoo->threads->isMainThread(zoo->host))) {
        if (process->audioOutputs[0].data64) process->audioOutputs[0].data64[0][0] = std::nan("");
        else process->audioOutputs[0].data32[0][0] = std::nanf("");
        return 1;
    }
    ApplyEvents(zoo, process->inEvents, process->outEvents);
    if (process->audioOutputsCount < 1 || kManyBuses) return 1;
    zoo->buses.FaultIfStereoToMono();
    const AudioBuffer* in = process->audioInputsCount > 0 ? &process->audioInputs[0] : nullptr;
    const AudioBuffer& out = process->audioOutputs[0];
    const int inputs = in ? static_cast<int>(in->channelCount) : 0;
    if (out.data64)
        zoo->sound.Process(in ? in->data64 : nullptr, inputs, out.data64, static_cast<int>(out.channelCount),
                           static_cast<int>(process->framesCount));
    else
        zoo->sound.Process(in ? in->data32 : nullptr, inputs, out.data32, static_cast<int>(out.channelCount),
                           static_cast<int>(process->framesCount));
    return 1;  // continue
}
const void* Extension(const Plugin*, const char* id)
{
    if (std::strcmp(id, kAudioPortsId) == 0) return &AudioPorts;
    if (std::strcmp(id, kAudioPortsConfigId) == 0 && kConfigs) return &PortsConfig;
    if (std::strcmp(id, kNotePortsId) == 0) return &NotePorts;
    if (std::strcmp(id, kParamsId) == 0) return &Params;
    if (std::strcmp(id, kStateId) == 0) return &State;
    if (std::strcmp(id, kGuiId) == 0) return &Gui;
    if (std::strcmp(id, kTimerSupportId) == 0 && kBehaviour == CBehaviour::kGuiNeedsHost) return &TimerSupport;
    if (std::strcmp(id, kTailId) == 0 && kBehaviour == CBehaviour::kLongTail) return &Tail;
    return nullptr;
}
void OnMainThread(const Plugin*) {}

uint32_t Count(const PluginFactory*) { return 1; }
const PluginDescriptor* Describe(const PluginFactory*, uint32_t index) { return index == 0 ? &kDescriptor : nullptr; }
const Plugin* Create(const PluginFactory*, const Host* host, const char* id)
{
    if (std::strcmp(id, kDescriptor.id) != 0) return nullptr;
    auto* zoo = new CZooClap;
    zoo->host = host;
    zoo->plugin = {&kDescriptor, zoo, Init, Destroy, Activate, Deactivate, StartProcessing, StopProcessing,
                   Reset, ProcessBlock, Extension, OnMainThread};
    return &zoo->plugin;
}
const PluginFactory Factory{Count, Describe, Create};

bool EntryInit(const char*) { return true; }
void EntryDeinit() {}
const void* EntryFactory(const char* id) { return std::strcmp(id, kPluginFactoryId) == 0 ? &Factory : nullptr; }

}  // namespace

ZOO_EXPORT const PluginEntry clap_entry{{1, 2, 0}, EntryInit, EntryDeinit, EntryFactory};
