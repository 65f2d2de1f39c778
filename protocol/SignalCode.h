#pragma once
// The exception code a fatal signal is reported as, so that a Linux server's crash reads as a
// Windows server's does: the host's texts, dump reading and blame know these codes.
#include <cstdint>

constexpr uint32_t kAccessViolation = 0xC0000005;
constexpr uint32_t kStackOverflow = 0xC00000FD;
constexpr uint32_t kIllegalInstruction = 0xC000001D;
constexpr uint32_t kIntegerDivideByZero = 0xC0000094;
constexpr uint32_t kIntegerOverflow = 0xC0000095;
constexpr uint32_t kArrayBoundsExceeded = 0xC000008C;
constexpr uint32_t kFloatDivideByZero = 0xC000008E;
constexpr uint32_t kFloatInexactResult = 0xC000008F;
constexpr uint32_t kFloatInvalidOperation = 0xC0000090;
constexpr uint32_t kFloatOverflow = 0xC0000091;
constexpr uint32_t kFloatUnderflow = 0xC0000093;
constexpr uint32_t kBreakpoint = 0x80000003;
constexpr uint32_t kFailFast = 0xC0000409;  // abort(): the process ended itself on an error
constexpr uint32_t kCppException = 0xE06D7363;

// SIGSEGV and SIGBUS are access violations (a stack overflow when `stackOverflow`), SIGILL an
// illegal instruction, SIGFPE the arithmetic fault its `code` (the siginfo's si_code) names,
// SIGTRAP a breakpoint, SIGABRT a fail-fast; 0 for any other signal.
uint32_t ExceptionCodeOfSignal(int signal, int code, bool stackOverflow);
