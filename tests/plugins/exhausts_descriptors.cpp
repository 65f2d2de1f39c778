// Opens files until none is left and never closes them, as a plug-in that leaks a descriptor
// on every call does in the end.
#include <fcntl.h>

#include "tests/plugins/PluginKit.h"

namespace {
const CPluginAnswers kAnswers{.name = "Exhausts Descriptors", .uniqueId = 0x5A455844};
}  // namespace

ZOO_EXPORT AEffect* VSTPluginMain(AudioMasterCallback host)
{
    while (open("/dev/null", O_RDONLY) >= 0) {}
    return CreateZooEffect(kAnswers, host);
}
