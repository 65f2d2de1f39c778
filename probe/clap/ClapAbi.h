#pragma once
// The parts of the CLAP binary interface that the scanner uses, declared from the published
// ABI: plain C structs of pointers and function pointers (cdecl, the default), each function
// taking its object first. The entry, the descriptor and the host start with a version.
#include <cstddef>
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

// A configuration of the audio ports a plug-in offers; selected only while it is inactive.
struct AudioPortsConfig {
    uint32_t id;
    char name[kNameSize];
    uint32_t inputPortCount, outputPortCount;
    bool hasMainInput;
    uint32_t mainInputChannelCount;
    const char* mainInputPortType;
    bool hasMainOutput;
    uint32_t mainOutputChannelCount;
    const char* mainOutputPortType;
};

static_assert(sizeof(AudioPortsConfig) == (sizeof(void*) == 8 ? 304 : 292));

struct PluginAudioPortsConfig {
    uint32_t (*count)(const Plugin* plugin);
    bool (*get)(const Plugin* plugin, uint32_t index, AudioPortsConfig* config);
    bool (*select)(const Plugin* plugin, uint32_t id);
};

struct PluginNotePorts {
    uint32_t (*count)(const Plugin* plugin, bool isInput);
    bool (*get)(const Plugin* plugin, uint32_t index, bool isInput, void* info);
};

struct EventHeader {
    uint32_t size;
    uint32_t time;
    uint16_t spaceId;
    uint16_t type;
    uint32_t flags;
};

struct EventNote {
    EventHeader header;
    int32_t noteId;
    int16_t portIndex, channel, key;
    double velocity;
};

struct EventParamValue {
    EventHeader header;
    uint32_t paramId;
    void* cookie;
    int32_t noteId;
    int16_t portIndex, channel, key;
    double value;
};

struct InputEvents {
    void* ctx;
    uint32_t (*size)(const InputEvents* list);
    const EventHeader* (*get)(const InputEvents* list, uint32_t index);
};

struct OutputEvents {
    void* ctx;
    bool (*tryPush)(const OutputEvents* list, const EventHeader* event);
};

struct AudioBuffer {
    float** data32;
    double** data64;
    uint32_t channelCount;
    uint32_t latency;
    uint64_t constantMask;
};

struct Process {
    int64_t steadyTime;
    uint32_t framesCount;
    const void* transport;
    const AudioBuffer* audioInputs;
    AudioBuffer* audioOutputs;
    uint32_t audioInputsCount;
    uint32_t audioOutputsCount;
    const InputEvents* inEvents;
    const OutputEvents* outEvents;
};

struct ParamInfo {
    uint32_t id;
    uint32_t flags;
    void* cookie;
    char name[kNameSize];
    char module[1024];
    double minValue, maxValue, defaultValue;
};

struct PluginParams {
    uint32_t (*count)(const Plugin* plugin);
    bool (*getInfo)(const Plugin* plugin, uint32_t index, ParamInfo* info);
    bool (*getValue)(const Plugin* plugin, uint32_t id, double* value);
    bool (*valueToText)(const Plugin* plugin, uint32_t id, double value, char* text, uint32_t capacity);
    bool (*textToValue)(const Plugin* plugin, uint32_t id, const char* text, double* value);
    void (*flush)(const Plugin* plugin, const InputEvents* in, const OutputEvents* out);
};

struct InputStream {
    void* ctx;
    int64_t (*read)(const InputStream* stream, void* buffer, uint64_t size);
};

struct OutputStream {
    void* ctx;
    int64_t (*write)(const OutputStream* stream, const void* buffer, uint64_t size);
};

struct PluginState {
    bool (*save)(const Plugin* plugin, const OutputStream* stream);
    bool (*load)(const Plugin* plugin, const InputStream* stream);
};

struct PluginLatency {
    uint32_t (*get)(const Plugin* plugin);
};

struct PluginTail {
    uint32_t (*get)(const Plugin* plugin);
};

struct Window {
    const char* api;
    void* handle;  // an HWND for "win32", an X11 window id for "x11"
};

struct PluginGui {
    bool (*isApiSupported)(const Plugin* plugin, const char* api, bool floating);
    bool (*getPreferredApi)(const Plugin* plugin, const char** api, bool* floating);
    bool (*create)(const Plugin* plugin, const char* api, bool floating);
    void (*destroy)(const Plugin* plugin);
    bool (*setScale)(const Plugin* plugin, double scale);
    bool (*getSize)(const Plugin* plugin, uint32_t* width, uint32_t* height);
    bool (*canResize)(const Plugin* plugin);
    bool (*getResizeHints)(const Plugin* plugin, void* hints);
    bool (*adjustSize)(const Plugin* plugin, uint32_t* width, uint32_t* height);
    bool (*setSize)(const Plugin* plugin, uint32_t width, uint32_t height);
    bool (*setParent)(const Plugin* plugin, const Window* window);
    bool (*setTransient)(const Plugin* plugin, const Window* window);
    void (*suggestTitle)(const Plugin* plugin, const char* title);
    bool (*show)(const Plugin* plugin);
    bool (*hide)(const Plugin* plugin);
};

constexpr bool kX64 = sizeof(void*) == 8;
static_assert(sizeof(PluginEntry) == (kX64 ? 40 : 24) && sizeof(Plugin) == (kX64 ? 96 : 48));
static_assert(sizeof(Host) == (kX64 ? 88 : 48) && sizeof(PluginDescriptor) == (kX64 ? 88 : 48));
static_assert(sizeof(Process) == (kX64 ? 64 : 40) && offsetof(Process, inEvents) == (kX64 ? 48 : 32));
static_assert(sizeof(AudioBuffer) == (kX64 ? 32 : 24) && offsetof(AudioBuffer, constantMask) == (kX64 ? 24 : 16));
static_assert(sizeof(EventHeader) == 16 && sizeof(EventNote) == 40 && offsetof(EventNote, velocity) == 32);
static_assert(sizeof(EventParamValue) == (kX64 ? 56 : 48) && offsetof(EventParamValue, value) == (kX64 ? 48 : 40));
static_assert(sizeof(ParamInfo) == 1320 && offsetof(ParamInfo, minValue) == 1296);
static_assert(sizeof(PluginParams) == 6 * sizeof(void*) && sizeof(PluginGui) == 15 * sizeof(void*));
static_assert(sizeof(AudioPortInfo) == (kX64 ? 288 : 276) && sizeof(Window) == 2 * sizeof(void*));

// The host's side of the extensions plug-ins ask for: each function takes the host first.
struct HostLog {
    void (*log)(const Host* host, int32_t severity, const char* message);
};
struct HostThreadCheck {
    bool (*isMainThread)(const Host* host);
    bool (*isAudioThread)(const Host* host);
};
struct HostParams {
    void (*rescan)(const Host* host, uint32_t flags);
    void (*clear)(const Host* host, uint32_t id, uint32_t flags);
    void (*requestFlush)(const Host* host);
};
struct HostChanged {  // clap.state (mark_dirty), clap.latency and clap.tail (changed)
    void (*changed)(const Host* host);
};
struct HostGui {
    void (*resizeHintsChanged)(const Host* host);
    bool (*requestResize)(const Host* host, uint32_t width, uint32_t height);
    bool (*requestShow)(const Host* host);
    bool (*requestHide)(const Host* host);
    void (*closed)(const Host* host, bool wasDestroyed);
};
struct HostAudioPorts {
    bool (*isRescanFlagSupported)(const Host* host, uint32_t flag);
    void (*rescan)(const Host* host, uint32_t flags);
};
struct HostNotePorts {
    uint32_t (*supportedDialects)(const Host* host);
    void (*rescan)(const Host* host, uint32_t flags);
};
struct HostTimerSupport {
    bool (*registerTimer)(const Host* host, uint32_t periodMs, uint32_t* timerId);
    bool (*unregisterTimer)(const Host* host, uint32_t timerId);
};
struct PluginTimerSupport {
    void (*onTimer)(const Plugin* plugin, uint32_t timerId);
};
// clap.posix-fd-support: flags READ 1, WRITE 2, ERROR 4.
constexpr uint32_t kPosixFdRead = 1, kPosixFdWrite = 2, kPosixFdError = 4;
struct HostPosixFdSupport {
    bool (*registerFd)(const Host* host, int fd, uint32_t flags);
    bool (*modifyFd)(const Host* host, int fd, uint32_t flags);
    bool (*unregisterFd)(const Host* host, int fd);
};
struct PluginPosixFdSupport {
    void (*onFd)(const Plugin* plugin, int fd, uint32_t flags);
};
static_assert(sizeof(HostGui) == 5 * sizeof(void*) && sizeof(HostParams) == 3 * sizeof(void*));

enum EventType : uint16_t { kNoteOn = 0, kNoteOff = 1, kParamValue = 5, kMidi = 10, kMidiSysex = 11, kMidi2 = 12 };
enum ProcessStatus : int32_t { kProcessError = 0 };
constexpr uint32_t kAudioPortSupports64Bits = 2;
constexpr uint32_t kParamIsStepped = 0x1, kParamIsHidden = 0x4, kParamIsReadOnly = 0x8, kParamIsAutomatable = 0x20;
constexpr uint32_t kNoteDialectClap = 1, kNoteDialectMidi = 2;
constexpr uint32_t kInvalidId = 0xFFFFFFFF;

constexpr char kPluginFactoryId[] = "clap.plugin-factory";
constexpr char kParamsId[] = "clap.params";
constexpr char kStateId[] = "clap.state";
constexpr char kLatencyId[] = "clap.latency";
constexpr char kTailId[] = "clap.tail";
constexpr char kGuiId[] = "clap.gui";
constexpr char kAudioPortsId[] = "clap.audio-ports";
constexpr char kAudioPortsConfigId[] = "clap.audio-ports-config";
constexpr char kNotePortsId[] = "clap.note-ports";
constexpr char kTimerSupportId[] = "clap.timer-support";
constexpr char kLogId[] = "clap.log";
constexpr char kThreadCheckId[] = "clap.thread-check";
constexpr char kPosixFdSupportId[] = "clap.posix-fd-support";
constexpr char kWindowApiWin32[] = "win32";
constexpr char kWindowApiX11[] = "x11";

}  // namespace clap
