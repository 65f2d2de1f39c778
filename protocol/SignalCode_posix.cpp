#include "protocol/SignalCode.h"

#include <csignal>

uint32_t ExceptionCodeOfSignal(int signal, bool stackOverflow)
{
    switch (signal) {
    case SIGSEGV:
    case SIGBUS: return stackOverflow ? kStackOverflow : kAccessViolation;
    case SIGILL: return kIllegalInstruction;
    case SIGFPE: return kIntegerDivideByZero;
    case SIGTRAP: return kBreakpoint;
    case SIGABRT: return kFailFast;
    default: return 0xC0000000u | static_cast<uint32_t>(signal);
    }
}
