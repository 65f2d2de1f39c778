// Answers normally, but keeps itself loaded and leaves a thread behind that ends the whole
// process 0.3 s later: no fault, no dump.
#include <windows.h>

#include "tests/plugins/PluginKit.h"

namespace {
DWORD WINAPI ExitLater(void*)
{
    Sleep(300);
    ExitProcess(0);
}
const CPluginAnswers kAnswers{.name = "Exit After Answer", .uniqueId = 0x5A454141};
}  // namespace

ZOO_EXPORT AEffect* VSTPluginMain(AudioMasterCallback host)
{
    KeepLoaded();
    CloseHandle(CreateThread(nullptr, 0, ExitLater, nullptr, 0, nullptr));
    return CreateZooEffect(kAnswers, host);
}
