#pragma once
// The parts of the VST 2 binary interface that the scanner uses, declared from the published
// ABI: the effect record a plug-in's entry point returns, the dispatcher and host callback
// signatures, and the opcodes and flags we send or answer. x64 has one calling convention,
// and 32-bit VST 2 uses cdecl, the compiler's default: no calling-convention keyword is needed.
#include <cstddef>
#include <cstdint>

struct AEffect;

using AudioMasterCallback = intptr_t (*)(AEffect* effect, int32_t opcode, int32_t index, intptr_t value,
                                         void* pointer, float opt);
using AEffectDispatcher = intptr_t (*)(AEffect* effect, int32_t opcode, int32_t index, intptr_t value,
                                       void* pointer, float opt);
using AEffectProcess = void (*)(AEffect* effect, float** inputs, float** outputs, int32_t sampleFrames);
using AEffectProcessDouble = void (*)(AEffect* effect, double** inputs, double** outputs, int32_t sampleFrames);
using AEffectSetParameter = void (*)(AEffect* effect, int32_t index, float value);
using AEffectGetParameter = float (*)(AEffect* effect, int32_t index);
using VstEntryPoint = AEffect* (*)(AudioMasterCallback host);

struct AEffect {
    int32_t magic;
    AEffectDispatcher dispatcher;
    AEffectProcess process;  // deprecated accumulating process
    AEffectSetParameter setParameter;
    AEffectGetParameter getParameter;
    int32_t numPrograms;
    int32_t numParams;
    int32_t numInputs;
    int32_t numOutputs;
    int32_t flags;
    intptr_t reserved1;
    intptr_t reserved2;
    int32_t initialDelay;
    int32_t realQualities;
    int32_t offQualities;
    float ioRatio;
    void* object;
    void* user;
    int32_t uniqueID;
    int32_t version;
    AEffectProcess processReplacing;
    AEffectProcessDouble processDoubleReplacing;
    char future[56];
};
// The same record on every 64-bit platform: Linux's longer `long` appears nowhere in it.
static_assert(sizeof(AEffect) == (sizeof(void*) == 8 ? 192 : 144) && offsetof(AEffect, version) == (sizeof(void*) == 8 ? 116 : 76));

static_assert(sizeof(void*) != 8 || sizeof(AEffect) == 192, "AEffect layout of 64-bit plug-ins");
static_assert(sizeof(void*) != 4 || sizeof(AEffect) == 144, "AEffect layout of 32-bit plug-ins");

constexpr int32_t kEffectMagic = 0x56737450;  // 'VstP'

enum EffectOpcode : int32_t {
    effOpen = 0,
    effClose = 1,
    effSetProgram = 2,
    effGetProgram = 3,
    effGetProgramName = 5,
    effGetParamLabel = 6,
    effGetParamDisplay = 7,
    effGetParamName = 8,
    effSetSampleRate = 10,
    effSetBlockSize = 11,
    effMainsChanged = 12,
    effEditGetRect = 13,
    effEditOpen = 14,
    effEditClose = 15,
    effEditIdle = 19,
    effGetChunk = 23,
    effSetChunk = 24,
    effProcessEvents = 25,
    effGetPlugCategory = 35,
    effGetEffectName = 45,
    effGetVendorString = 47,
    effGetProductString = 48,
    effGetVendorVersion = 49,
    effCanDo = 51,
    effGetTailSize = 52,
    effShellGetNextPlugin = 70,
    effStartProcess = 71,
    effStopProcess = 72,
    effBeginSetProgram = 67,
    effEndSetProgram = 68,
    effSetProcessPrecision = 77,
};

enum EffectFlags : int32_t {
    effFlagsHasEditor = 1 << 0,
    effFlagsCanReplacing = 1 << 4,
    effFlagsProgramChunks = 1 << 5,
    effFlagsIsSynth = 1 << 8,
    effFlagsCanDoubleReplacing = 1 << 12,
};

enum PlugCategory : int32_t {
    kPlugCategUnknown = 0,
    kPlugCategEffect = 1,
    kPlugCategSynth = 2,
    kPlugCategShell = 10,
};

enum AudioMasterOpcode : int32_t {
    audioMasterAutomate = 0,
    audioMasterVersion = 1,
    audioMasterCurrentId = 2,
    audioMasterIdle = 3,
    audioMasterWantMidi = 6,
    audioMasterGetTime = 7,
    audioMasterProcessEvents = 8,
    audioMasterNeedIdle = 14,
    audioMasterSizeWindow = 15,
    audioMasterGetSampleRate = 16,
    audioMasterGetBlockSize = 17,
    audioMasterGetCurrentProcessLevel = 23,
    audioMasterGetVendorString = 32,
    audioMasterGetProductString = 33,
    audioMasterGetVendorVersion = 34,
    audioMasterCanDo = 37,
};

constexpr int kVstTextBufferSize = 512;     // what hosts give plug-ins for a name or a string
constexpr int kVstHostStringSize = 64;      // vendor and product strings a plug-in asks for
constexpr int32_t kVstProcessLevelRealtime = 2;
constexpr int32_t kVstProcessLevelOffline = 4;

// Events a host sends before a block: a list of pointers after a count.
struct VstEvent {
    int32_t type;
    int32_t byteSize;
    int32_t deltaFrames;
    int32_t flags;
};

struct VstMidiEvent {
    int32_t type;  // kVstMidiType
    int32_t byteSize;
    int32_t deltaFrames;
    int32_t flags;
    int32_t noteLength;
    int32_t noteOffset;
    uint8_t midiData[4];
    int8_t detune;
    uint8_t noteOffVelocity;
    uint8_t reserved[2];
};

template <int Count>
struct VstEventList {
    int32_t numEvents;
    intptr_t reserved;
    VstEvent* events[Count];
};

static_assert(sizeof(VstMidiEvent) == 32, "VstMidiEvent layout");
static_assert(offsetof(VstEventList<2>, events) == 2 * sizeof(void*), "VstEvents: the list follows the count");

constexpr int32_t kVstMidiType = 1;
constexpr intptr_t kVstProcessPrecision64 = 1;
