#pragma once
// The host side of the VST 2 interface as plug-ins see it: a VST 2.4 host named "Tessarine",
// offline at 44100 Hz with 512-sample blocks. Every call is traced on the output pipe.
#include <cstdint>

#include "probe/Vst2Abi.h"

// The sub-plug-in that the current request names; non-zero only while the probe runs.
// A shell plug-in asks for it in its entry point to learn which plug-in to create.
extern int32_t CurrentShellId;
// Set when the plug-in calls audioMasterWantMidi; the probe clears it before the entry point.
extern bool PluginWantsMidi;

intptr_t HostCallback(AEffect* effect, int32_t opcode, int32_t index, intptr_t value, void* pointer, float opt);

// The SDK's name of an audioMaster opcode, or "<unknown>".
const char* AudioMasterOpcodeName(int32_t opcode);

// Whether the host claims a capability: the fixed list, compared ignoring ASCII case.
bool HostCanDo(const char* capability);
