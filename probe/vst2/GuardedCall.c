/* Built with clang, not g++: g++ has no __try/__except. This is a real frame-based structured
 * exception handler, so it behaves on Windows as under Wine: the plug-in's own handlers run
 * first (a C++ exception it throws and catches inside the call never reaches us), and only an
 * exception that would otherwise go unhandled is stopped here. A vectored handler would see
 * every exception first-chance and could not tell those apart. */
#include <stdint.h>

typedef intptr_t (*Dispatcher)(void* effect, int32_t opcode, int32_t index, intptr_t value, void* pointer,
                               float opt);

struct EffectHead { /* the first two fields of AEffect */
    int32_t magic;
    Dispatcher dispatcher;
};

static volatile uint32_t CaughtCode;

static int RememberCode(uint32_t code)
{
    CaughtCode = code;
    return 1; /* EXCEPTION_EXECUTE_HANDLER */
}

uint32_t DispatchGuarded(void* effect, int32_t opcode)
{
    __try {
        struct EffectHead* head = (struct EffectHead*)effect;
        head->dispatcher(effect, opcode, 0, 0, 0, 0.0f);
        return 0;
    } __except (RememberCode(_exception_code())) {
        return CaughtCode ? CaughtCode : 1;
    }
}
