// A fault in the guarded call comes back here through the crash handler, which jumps out of
// the plug-in's frames, abandoning them; a C++ exception the plug-in lets out is caught.
#include "probe/vst2/GuardedCall.h"

#include <csetjmp>

#include "protocol/SignalCode.h"

namespace {

thread_local sigjmp_buf* GuardFrame = nullptr;

}  // namespace

// The jump carries the signal and its si_code, which tells arithmetic faults apart.
bool LeaveGuardedCall(int signal, int code)
{
    if (GuardFrame == nullptr) return false;
    sigjmp_buf* frame = GuardFrame;
    GuardFrame = nullptr;
    siglongjmp(*frame, signal | (code > 0 && code < 256 ? code << 8 : 0));
}

extern "C" uint32_t DispatchGuarded(AEffect* effect, int32_t opcode)
{
    sigjmp_buf frame;
    // The signal mask is saved too: the jump restores the one from before the fault.
    if (const int jumped = sigsetjmp(frame, 1)) return ExceptionCodeOfSignal(jumped & 0xFF, jumped >> 8, false);
    GuardFrame = &frame;
    try {
        effect->dispatcher(effect, opcode, 0, 0, nullptr, 0.0f);
    } catch (...) {
        GuardFrame = nullptr;
        return kCppException;
    }
    GuardFrame = nullptr;
    return 0;
}
