#include "probe/FloatEnvironment.h"

#include <xmmintrin.h>

#include <cstdint>

namespace {

constexpr uint32_t kFlushToZero = 0x8000, kDenormalsAreZero = 0x0040;
constexpr uint32_t kSseExceptionMasks = 0x1F80;
constexpr uint16_t kX87ExceptionMasks = 0x003F;
// The sticky flags arithmetic raises: not part of the mode.
constexpr uint32_t kSseExceptionFlags = 0x003F;

__attribute__((target("sse"))) uint32_t SseControl() { return _mm_getcsr(); }
__attribute__((target("sse"))) void SetSseControl(uint32_t mode) { _mm_setcsr(mode); }

uint16_t X87Control()
{
    uint16_t word = 0;
    __asm__ __volatile__("fnstcw %0" : "=m"(word));
    return word;
}

// Pending exception flags are cleared first: none may trap once the masks change.
void SetX87Control(uint16_t word) { __asm__ __volatile__("fnclex\n\tfldcw %0" : : "m"(word)); }

uint32_t ServerSse = kSseExceptionMasks;
uint16_t ServerX87 = 0x037F;
bool Flushing = false;

uint32_t WantedSse() { return Flushing ? ServerSse | kFlushToZero | kDenormalsAreZero : ServerSse; }

}  // namespace

void KeepFloatEnvironment()
{
    // Whatever the runtime started with, but no traps and no flushing.
    ServerSse = (SseControl() & ~(kSseExceptionFlags | kFlushToZero | kDenormalsAreZero)) | kSseExceptionMasks;
    ServerX87 = X87Control() | kX87ExceptionMasks;
    SetSseControl(ServerSse);
    SetX87Control(ServerX87);
}

void RestoreFloatEnvironment()
{
    const uint32_t sse = SseControl();
    if ((sse & ~kSseExceptionFlags) != WantedSse()) SetSseControl(WantedSse() | (sse & kSseExceptionFlags));
    if (X87Control() != ServerX87) SetX87Control(ServerX87);
}

void FlushDenormals(bool flush)
{
    Flushing = flush;
    SetSseControl(WantedSse() | (SseControl() & kSseExceptionFlags));
    if (X87Control() != ServerX87) SetX87Control(ServerX87);
}
