// Forks a child in its entry point that faults at once, as a plug-in whose helper process
// crashes does; the plug-in itself waits for it and goes on as usual.
#include <sys/wait.h>
#include <unistd.h>

#include "tests/plugins/PluginKit.h"

namespace {
const CPluginAnswers kAnswers{.name = "Forks Faulting Child", .uniqueId = 0x5A46464B};
}  // namespace

ZOO_EXPORT AEffect* VSTPluginMain(AudioMasterCallback host)
{
    const pid_t child = fork();
    if (child == 0) WriteThroughNull();
    int status = 0;
    if (child > 0) waitpid(child, &status, 0);
    return CreateZooEffect(kAnswers, host);
}
