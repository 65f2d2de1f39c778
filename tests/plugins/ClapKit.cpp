#include "tests/plugins/ClapKit.h"

#include <cstring>

using namespace clap;

namespace {

bool Initialized = false;

struct CInstance {
    Plugin plugin;
    PluginDescriptor descriptor;
    const CZooClapPlugin* type;
};

const CZooClapPlugin& TypeOf(const Plugin* plugin) { return *static_cast<const CInstance*>(plugin->pluginData)->type; }

uint32_t AudioPortCount(const Plugin* plugin, bool input)
{
    const uint32_t main = (input ? TypeOf(plugin).inputs : TypeOf(plugin).outputs) > 0 ? 1 : 0;
    return main + (input ? 0 : TypeOf(plugin).auxOutputs);
}

bool AudioPortGet(const Plugin* plugin, uint32_t index, bool input, AudioPortInfo* info)
{
    if (index >= AudioPortCount(plugin, input)) return false;
    *info = AudioPortInfo{};
    const bool extra = index > 0;
    std::strcpy(info->name, extra ? "Band" : input ? "Main In" : "Main Out");
    info->flags = extra ? 0 : kAudioPortIsMain;
    info->channelCount = extra ? 2 : input ? TypeOf(plugin).inputs : TypeOf(plugin).outputs;
    return true;
}

uint32_t NotePortCount(const Plugin* plugin, bool input) { return input ? TypeOf(plugin).noteIn : TypeOf(plugin).noteOut; }
bool NotePortGet(const Plugin*, uint32_t, bool, void*) { return false; }

const PluginAudioPorts AudioPorts{AudioPortCount, AudioPortGet};
const PluginNotePorts NotePorts{NotePortCount, NotePortGet};

bool PluginInit(const Plugin* plugin)
{
    const CZooClapPlugin& type = TypeOf(plugin);
    return type.onInit ? type.onInit() : true;
}

void PluginDestroy(const Plugin* plugin) { delete static_cast<const CInstance*>(plugin->pluginData); }

const void* PluginExtension(const Plugin*, const char* id)
{
    if (std::strcmp(id, kAudioPortsId) == 0) return &AudioPorts;
    if (std::strcmp(id, kNotePortsId) == 0) return &NotePorts;
    return nullptr;
}

const PluginDescriptor* Descriptor(uint32_t index)
{
    static PluginDescriptor descriptors[16];
    if (index >= ZooClapPluginCount || index >= 16) return nullptr;
    const CZooClapPlugin& type = ZooClapPlugins[index];
    descriptors[index] = {{1, 2, 0}, type.id, type.name, "Tessarine Test Zoo", "https://zoo.tessarine.example/",
                          nullptr, nullptr, "1.0.0", "A plug-in of the test zoo", type.features};
    return &descriptors[index];
}

uint32_t FactoryCount(const PluginFactory*) { return ZooClapPluginCount; }
const PluginDescriptor* FactoryDescriptor(const PluginFactory*, uint32_t index) { return Descriptor(index); }

const Plugin* FactoryCreate(const PluginFactory*, const Host* host, const char* id)
{
    // As real plug-ins do: a host of another major version is refused.
    if (!Initialized || host == nullptr || host->clapVersion.major != 1) return nullptr;
    for (uint32_t i = 0; i < ZooClapPluginCount; ++i) {
        if (std::strcmp(ZooClapPlugins[i].id, id) != 0) continue;
        auto* instance = new CInstance{};
        instance->type = &ZooClapPlugins[i];
        instance->plugin.desc = Descriptor(i);
        instance->plugin.pluginData = instance;
        instance->plugin.init = PluginInit;
        instance->plugin.destroy = PluginDestroy;
        instance->plugin.getExtension = PluginExtension;
        return &instance->plugin;
    }
    return nullptr;
}

const PluginFactory Factory{FactoryCount, FactoryDescriptor, FactoryCreate};

}  // namespace

bool ZooEntryInit(const char* path)
{
    Initialized = path != nullptr && std::strstr(path, ".clap") != nullptr;
    return Initialized;
}

void ZooEntryDeinit() { Initialized = false; }

const void* ZooGetFactory(const char* id) { return std::strcmp(id, kPluginFactoryId) == 0 ? &Factory : nullptr; }
