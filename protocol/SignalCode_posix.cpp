#include "protocol/SignalCode.h"

#include <csignal>

uint32_t ExceptionCodeOfSignal(int signal, int code, bool stackOverflow)
{
    switch (signal) {
    case SIGSEGV:
    case SIGBUS: return stackOverflow ? kStackOverflow : kAccessViolation;
    case SIGILL: return kIllegalInstruction;
    case SIGFPE:
        switch (code) {
        case FPE_INTOVF: return kIntegerOverflow;
        case FPE_FLTDIV: return kFloatDivideByZero;
        case FPE_FLTOVF: return kFloatOverflow;
        case FPE_FLTUND: return kFloatUnderflow;
        case FPE_FLTRES: return kFloatInexactResult;
        case FPE_FLTINV: return kFloatInvalidOperation;
        case FPE_FLTSUB: return kArrayBoundsExceeded;
        default: return kIntegerDivideByZero;
        }
    case SIGTRAP: return kBreakpoint;
    case SIGABRT: return kFailFast;
    default: return 0;
    }
}
