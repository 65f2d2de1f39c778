// Finds the server's request pipe on its command line and closes it, then answers normally.
#include <windows.h>

#include "tests/plugins/PluginKit.h"

ZOO_EXPORT AEffect* VSTPluginMain(AudioMasterCallback host)
{
    CloseHandle(ServerHandleArgument(1));
    static const CPluginAnswers answers{.name = "Closes Requests", .uniqueId = 0x5A434C52};
    return CreateZooEffect(answers, host);
}
