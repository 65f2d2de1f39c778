// Installs an unhandled-exception filter of its own while it is created (one that would end
// the process with code 77 and no dump), then faults while it is asked for its name.
#include <windows.h>

#include "tests/plugins/PluginKit.h"

namespace {
LONG WINAPI PluginsOwnFilter(EXCEPTION_POINTERS*)
{
    TerminateProcess(GetCurrentProcess(), 77);
    return EXCEPTION_EXECUTE_HANDLER;
}
bool FaultOnName(AEffect*, int32_t opcode, void*, intptr_t*)
{
    if (opcode == effGetEffectName) WriteThroughNull();
    return false;
}
const CPluginAnswers kAnswers{.name = "Own Filter Then Crash", .uniqueId = 0x5A4F4643, .special = FaultOnName};
}  // namespace

ZOO_EXPORT AEffect* VSTPluginMain(AudioMasterCallback host)
{
    SetUnhandledExceptionFilter(PluginsOwnFilter);
    return CreateZooEffect(kAnswers, host);
}
