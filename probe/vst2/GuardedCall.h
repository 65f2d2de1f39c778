#pragma once
#include <cstdint>

#include "probe/vst2/Vst2Abi.h"

extern "C" {
// Sends one opcode to the plug-in inside a frame that catches what it lets out. Returns 0 when
// the call returned, else the code of the exception that left the plug-in unhandled (a
// processor fault, or a software exception such as an uncaught C++ throw), after which the
// plug-in's frames are abandoned.
uint32_t DispatchGuarded(AEffect* effect, int32_t opcode);
}

// For the crash handler off Windows: jumps out of a guarded call under way on this thread, and
// does not return; false when there is none.
bool LeaveGuardedCall(int signal, int code);
