#pragma once
// The host side of the VST 2 interface as plug-ins see it: a VST 2.4 host named "Tessarine",
// offline at 44100 Hz with 512-sample blocks. Every call is traced on the output pipe.
#include <cstdint>

#include "probe/ProbeState.h"
#include "probe/vst2/Vst2Abi.h"

intptr_t HostCallback(AEffect* effect, int32_t opcode, int32_t index, intptr_t value, void* pointer, float opt);

// The SDK's name of an audioMaster opcode, or "<unknown>".
const char* AudioMasterOpcodeName(int32_t opcode);

// Whether the host claims a capability: the fixed list, compared ignoring ASCII case.
bool HostCanDo(const char* capability);

// The events a plug-in has sent the host (audioMasterProcessEvents) since this was last set to 0.
extern int64_t Vst2EventsSent;
