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
    HWND editor = nullptr, parent = nullptr;
};

CZooClap* Zoo(const Plugin* plugin) { return static_cast<CZooClap*>(plugin->pluginData); }

uint32_t AudioPortCount(const Plugin*, bool input) { return input && kInstrument ? 0 : 1; }
bool AudioPortGet(const Plugin*, uint32_t index, bool input, AudioPortInfo* info)
{
    if (index != 0 || (input && kInstrument)) return false;
    *info = {};
    std::strcpy(info->name, "Main");
    info->flags = kAudioPortIsMain | kAudioPortSupports64Bits;
    info->channelCount = input ? 2 : kOutputChannels;
    info->portType = "stereo";
    info->inPlacePair = 0xFFFFFFFF;
    return true;
}
const PluginAudioPorts AudioPorts{AudioPortCount, AudioPortGet};

uint32_t NotePortCount(const Plugin*, bool input) { return input && kInstrument ? 1 : 0; }
bool NotePortGet(const Plugin*, uint32_t, bool, void*) { return false; }
const PluginNotePorts NotePorts{NotePortCount, NotePortGet};

uint32_t ParamCount(const Plugin*) { return 2; }
bool ParamInfoOf(const Plugin*, uint32_t index, ParamInfo* info)
{
    if (index > 1) return false;
    *info = {};
    info->id = index;
    std::strcpy(info->name, index == 0 ? "Gain" : "Drive");
    info->minValue = 0;
    info->maxValue = 1;
    info->defaultValue = index == 0 ? 0.5 : 0.3;
    return true;
}
bool ParamValue(const Plugin* plugin, uint32_t id, double* value)
{
    if (id > 1) return false;
    *value = Zoo(plugin)->sound.Get(static_cast<int>(id));
    return true;
}
bool ParamText(const Plugin*, uint32_t, double value, char* text, uint32_t capacity)
{
    std::snprintf(text, capacity, "%.2f", value);
    return true;
}
bool ParamFromText(const Plugin*, uint32_t, const char*, double*) { return false; }
void ApplyEvents(CZooClap* zoo, const InputEvents* events)
{
    for (uint32_t i = 0; events && i < events->size(events); ++i) {
        const EventHeader* header = events->get(events, i);
        if (header->type == kParamValue) {
            const auto* change = reinterpret_cast<const EventParamValue*>(header);
            if (change->paramId < 2) zoo->sound.Set(static_cast<int>(change->paramId), change->value);
        } else if (header->type == kNoteOn || header->type == kNoteOff) {
            zoo->sound.Note(header->type == kNoteOn);
        }
    }
}
void ParamFlush(const Plugin* plugin, const InputEvents* in, const OutputEvents*) { ApplyEvents(Zoo(plugin), in); }
const PluginParams Params{ParamCount, ParamInfoOf, ParamValue, ParamText, ParamFromText, ParamFlush};

bool StateSave(const Plugin* plugin, const OutputStream* stream)
{
    uint8_t bytes[16];
    Zoo(plugin)->sound.Save(bytes);
    return stream->write(stream, bytes, sizeof(bytes)) == sizeof(bytes);
}
bool StateLoad(const Plugin* plugin, const InputStream* stream)
{
    uint8_t bytes[16];
    int64_t got = 0;
    while (got < 16) {
        const int64_t n = stream->read(stream, bytes + got, sizeof(bytes) - got);
        if (n <= 0) return false;
        got += n;
    }
    Zoo(plugin)->sound.Load(bytes);
    return true;
}
const PluginState State{StateSave, StateLoad};

bool GuiSupported(const Plugin*, const char* api, bool floating) { return !floating && std::strcmp(api, kWindowApiWin32) == 0; }
bool GuiPreferred(const Plugin*, const char** api, bool* floating)
{
    *api = kWindowApiWin32;
    *floating = false;
    return true;
}
bool GuiCreate(const Plugin*, const char* api, bool floating) { return GuiSupported(nullptr, api, floating); }
void GuiDestroy(const Plugin* plugin)
{
    CZooClap* zoo = Zoo(plugin);
    if (zoo->editor) DestroyWindow(zoo->editor);
    zoo->editor = nullptr;
}
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
    Zoo(plugin)->parent = static_cast<HWND>(window->handle);
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

bool Init(const Plugin*) { return true; }
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
    ApplyEvents(zoo, process->inEvents);
    if (process->audioOutputsCount < 1) return 1;
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
    if (std::strcmp(id, kNotePortsId) == 0) return &NotePorts;
    if (std::strcmp(id, kParamsId) == 0) return &Params;
    if (std::strcmp(id, kStateId) == 0) return &State;
    if (std::strcmp(id, kGuiId) == 0) return &Gui;
    return nullptr;
}
void OnMainThread(const Plugin*) {}

uint32_t Count(const PluginFactory*) { return 1; }
const PluginDescriptor* Describe(const PluginFactory*, uint32_t index) { return index == 0 ? &kDescriptor : nullptr; }
const Plugin* Create(const PluginFactory*, const Host*, const char* id)
{
    if (std::strcmp(id, kDescriptor.id) != 0) return nullptr;
    auto* zoo = new CZooClap;
    zoo->plugin = {&kDescriptor, zoo, Init, Destroy, Activate, Deactivate, StartProcessing, StopProcessing,
                   Reset, ProcessBlock, Extension, OnMainThread};
    return &zoo->plugin;
}
const PluginFactory Factory{Count, Describe, Create};

bool EntryInit(const char*) { return true; }
void EntryDeinit() {}
const void* EntryFactory(const char* id) { return std::strcmp(id, kPluginFactoryId) == 0 ? &Factory : nullptr; }

}  // namespace

extern "C" __declspec(dllexport) const PluginEntry clap_entry{{1, 2, 0}, EntryInit, EntryDeinit, EntryFactory};
