// Leaves a vectored exception handler and lets the server unload it: the next exception in the
// process, even one a plug-in throws and catches itself, would run the handler where this
// library's code was.
#include <windows.h>

#include "tests/plugins/PluginKit.h"

namespace {
const CPluginAnswers kAnswers{.name = "Handler After Unload", .uniqueId = 0x5A484155};
LONG CALLBACK Handler(EXCEPTION_POINTERS*) { return EXCEPTION_CONTINUE_SEARCH; }
}  // namespace

ZOO_EXPORT AEffect* VSTPluginMain(AudioMasterCallback host)
{
    AddVectoredExceptionHandler(1, Handler);
    return CreateZooEffect(kAnswers, host);
}
