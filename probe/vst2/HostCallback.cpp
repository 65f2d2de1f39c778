#include "probe/vst2/HostCallback.h"

#include <algorithm>
#include <cstring>

#include "protocol/LogLine.h"
#include "protocol/Utf8.h"

namespace {

constexpr const char* kHostVendor = "Orvalen Studios";
constexpr const char* kHostProduct = "Tessarine";
constexpr intptr_t kHostVendorVersion = 3;
constexpr intptr_t kVstVersion = 2400;
constexpr intptr_t kSampleRate = 44100;
constexpr intptr_t kBlockSize = 512;

constexpr const char* kHostCapabilities[] = {
    "sizeWindow", "sendVstEvents", "sendVstMidiEvent", "sendVstTimeInfo", "supplyIdle",
    "receiveVstEvents", "receiveVstMidiEvent", "startStopProcess", "sendVstMidiEventFlagIsRealtime",
    "shellCategory",
};

struct COpcodeName {
    int32_t opcode;
    const char* name;
};

constexpr COpcodeName kOpcodeNames[] = {
    {0, "audioMasterAutomate"}, {1, "audioMasterVersion"}, {2, "audioMasterCurrentId"},
    {3, "audioMasterIdle"}, {4, "audioMasterPinConnected"}, {6, "audioMasterWantMidi"},
    {7, "audioMasterGetTime"}, {8, "audioMasterProcessEvents"}, {9, "audioMasterSetTime"},
    {10, "audioMasterTempoAt"}, {11, "audioMasterGetNumAutomatableParameters"},
    {12, "audioMasterGetParameterQuantization"}, {13, "audioMasterIOChanged"},
    {14, "audioMasterNeedIdle"}, {15, "audioMasterSizeWindow"}, {16, "audioMasterGetSampleRate"},
    {17, "audioMasterGetBlockSize"}, {18, "audioMasterGetInputLatency"},
    {19, "audioMasterGetOutputLatency"}, {20, "audioMasterGetPreviousPlug"},
    {21, "audioMasterGetNextPlug"}, {22, "audioMasterWillReplaceOrAccumulate"},
    {23, "audioMasterGetCurrentProcessLevel"}, {24, "audioMasterGetAutomationState"},
    {25, "audioMasterOfflineStart"}, {26, "audioMasterOfflineRead"}, {27, "audioMasterOfflineWrite"},
    {28, "audioMasterOfflineGetCurrentPass"}, {29, "audioMasterOfflineGetCurrentMetaPass"},
    {30, "audioMasterSetOutputSampleRate"}, {31, "audioMasterGetOutputSpeakerArrangement"},
    {32, "audioMasterGetVendorString"}, {33, "audioMasterGetProductString"},
    {34, "audioMasterGetVendorVersion"}, {35, "audioMasterVendorSpecific"}, {36, "audioMasterSetIcon"},
    {37, "audioMasterCanDo"}, {38, "audioMasterGetLanguage"}, {39, "audioMasterOpenWindow"},
    {40, "audioMasterCloseWindow"}, {41, "audioMasterGetDirectory"}, {42, "audioMasterUpdateDisplay"},
    {43, "audioMasterBeginEdit"}, {44, "audioMasterEndEdit"}, {45, "audioMasterOpenFileSelector"},
    {46, "audioMasterCloseFileSelector"}, {47, "audioMasterEditFile"}, {48, "audioMasterGetChunkFile"},
    {49, "audioMasterGetInputSpeakerArrangement"}, {0, nullptr},
};

char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualIgnoringAsciiCase(const char* a, const char* b)
{
    for (; *a && *b; ++a, ++b)
        if (AsciiLower(*a) != AsciiLower(*b)) return false;
    return *a == *b;
}

// Copies at most 63 bytes and a terminator: the plug-in's buffer holds 64.
intptr_t CopyHostString(void* destination, const char* text)
{
    if (destination == nullptr) return 0;
    char* out = static_cast<char*>(destination);
    size_t i = 0;
    for (; i < kVstHostStringSize - 1 && text[i]; ++i) out[i] = text[i];
    out[i] = '\0';
    return 1;
}

}  // namespace

const char* AudioMasterOpcodeName(int32_t opcode)
{
    for (const COpcodeName* row = kOpcodeNames; row->name; ++row)
        if (row->opcode == opcode) return row->name;
    return "<unknown>";
}

bool HostCanDo(const char* capability)
{
    if (capability == nullptr) return false;
    for (const char* entry : kHostCapabilities)
        if (EqualIgnoringAsciiCase(capability, entry)) return true;
    return false;
}

int64_t Vst2EventsSent = 0;

intptr_t HostCallback(AEffect*, int32_t opcode, int32_t, intptr_t, void* pointer, float)
{
    // While a check processes audio the plug-in may ask something every block: unlogged.
    const bool quiet = CheckSampleRate > 0;
    if (opcode == audioMasterCanDo) {
        const char* capability = static_cast<const char*>(pointer);
        if (!quiet) LogInfo(u"Query host can do: '%S'\n", capability);
        return HostCanDo(capability) ? 1 : 0;
    }

    // Events a plug-in sends while a check processes are counted, not read: the count is all a
    // check needs. A scan answers them as before.
    if (quiet && opcode == audioMasterProcessEvents) {
        if (pointer) Vst2EventsSent += std::max(static_cast<const VstEventList<1>*>(pointer)->numEvents, 0);
        return 1;
    }
    if (!quiet) LogInfo(u"Audio master callback: %i - %s\n", opcode, WidenBytes(AudioMasterOpcodeName(opcode)).c_str());
    switch (opcode) {
    case audioMasterAutomate: return 0;
    case audioMasterVersion: return kVstVersion;
    case audioMasterCurrentId: return CurrentShellId;
    case audioMasterWantMidi: PluginWantsMidi = true; return 0;
    case audioMasterNeedIdle: return 1;
    case audioMasterGetSampleRate: return CheckSampleRate > 0 ? static_cast<intptr_t>(CheckSampleRate) : kSampleRate;
    case audioMasterGetBlockSize: return CheckBlockSize > 0 ? CheckBlockSize : kBlockSize;
    case audioMasterGetCurrentProcessLevel: return CheckSampleRate > 0 ? kVstProcessLevelRealtime : kVstProcessLevelOffline;
    case audioMasterGetVendorString: return CopyHostString(pointer, kHostVendor);
    case audioMasterGetProductString: return CopyHostString(pointer, kHostProduct);
    case audioMasterGetVendorVersion: return kHostVendorVersion;
    default:
        if (!quiet) LogWarn(u"Unhandled audioMaster opCode - %i\n", opcode);
        return 0;
    }
}
