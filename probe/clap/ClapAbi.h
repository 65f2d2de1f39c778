#pragma once
// The parts of the CLAP binary interface that the scanner uses, declared from the published
// ABI: plain C structs of pointers and function pointers (cdecl, the default), each function
// taking its object first. The entry, the descriptor and the host start with a version.
#include <cstdint>

namespace clap {

struct Version {
    uint32_t major, minor, revision;
};

struct Host;
struct Plugin;

struct PluginDescriptor {
    Version clapVersion;
    const char* id;
    const char* name;
    const char* vendor;
    const char* url;
    const char* manualUrl;
    const char* supportUrl;
    const char* version;
    const char* description;
    const char* const* features;  // ends with a null
};

struct PluginFactory {
    uint32_t (*getPluginCount)(const PluginFactory* factory);
    const PluginDescriptor* (*getPluginDescriptor)(const PluginFactory* factory, uint32_t index);
    const Plugin* (*createPlugin)(const PluginFactory* factory, const Host* host, const char* pluginId);
};

struct PluginEntry {
    Version clapVersion;
    bool (*init)(const char* pluginPath);
    void (*deinit)();
    const void* (*getFactory)(const char* factoryId);
};

struct Host {
    Version clapVersion;
    void* hostData;
    const char* name;
    const char* vendor;
    const char* url;
    const char* version;
    const void* (*getExtension)(const Host* host, const char* extensionId);
    void (*requestRestart)(const Host* host);
    void (*requestProcess)(const Host* host);
    void (*requestCallback)(const Host* host);
};

struct Plugin {
    const PluginDescriptor* desc;
    void* pluginData;
    bool (*init)(const Plugin* plugin);
    void (*destroy)(const Plugin* plugin);
    bool (*activate)(const Plugin* plugin, double sampleRate, uint32_t minFrames, uint32_t maxFrames);
    void (*deactivate)(const Plugin* plugin);
    bool (*startProcessing)(const Plugin* plugin);
    void (*stopProcessing)(const Plugin* plugin);
    void (*reset)(const Plugin* plugin);
    int32_t (*process)(const Plugin* plugin, const void* process);
    const void* (*getExtension)(const Plugin* plugin, const char* id);
    void (*onMainThread)(const Plugin* plugin);
};

constexpr uint32_t kNameSize = 256;
constexpr uint32_t kAudioPortIsMain = 1;

struct AudioPortInfo {
    uint32_t id;
    char name[kNameSize];
    uint32_t flags;
    uint32_t channelCount;
    const char* portType;
    uint32_t inPlacePair;
};

struct PluginAudioPorts {
    uint32_t (*count)(const Plugin* plugin, bool isInput);
    bool (*get)(const Plugin* plugin, uint32_t index, bool isInput, AudioPortInfo* info);
};

struct PluginNotePorts {
    uint32_t (*count)(const Plugin* plugin, bool isInput);
    bool (*get)(const Plugin* plugin, uint32_t index, bool isInput, void* info);
};

constexpr char kPluginFactoryId[] = "clap.plugin-factory";
constexpr char kAudioPortsId[] = "clap.audio-ports";
constexpr char kNotePortsId[] = "clap.note-ports";

}  // namespace clap
