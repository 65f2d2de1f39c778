// Puts /dev/null in place of the server's output pipe, as a plug-in that redirects what it
// thinks is its own output does, then goes on as usual: the host reads no more from it.
#include <fcntl.h>
#include <unistd.h>

#include <cstdint>

#include "tests/plugins/PluginKit.h"

namespace {
const CPluginAnswers kAnswers{.name = "Replaces Output", .uniqueId = 0x5A524F50};
}  // namespace

ZOO_EXPORT AEffect* VSTPluginMain(AudioMasterCallback host)
{
    const int nothing = open("/dev/null", O_WRONLY);
    dup2(nothing, static_cast<int>(reinterpret_cast<uintptr_t>(ServerHandleArgument(2))));
    close(nothing);
    return CreateZooEffect(kAnswers, host);
}
