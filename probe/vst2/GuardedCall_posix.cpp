// A fault in the guarded call comes back here through the crash handler, which jumps out of
// the plug-in's frames, abandoning them; a C++ exception the plug-in lets out is caught.
#include "probe/vst2/GuardedCall.h"

#include <csetjmp>

#include "protocol/SignalCode.h"

namespace {

thread_local sigjmp_buf* GuardFrame = nullptr;

}  // namespace

bool LeaveGuardedCall(int signal)
{
    if (GuardFrame == nullptr) return false;
    sigjmp_buf* frame = GuardFrame;
    GuardFrame = nullptr;
    siglongjmp(*frame, signal);
}

extern "C" uint32_t DispatchGuarded(AEffect* effect, int32_t opcode)
{
    sigjmp_buf frame;
    // The signal mask is saved too: the jump restores the one from before the fault.
    if (const int signal = sigsetjmp(frame, 1)) return ExceptionCodeOfSignal(signal, false);
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
