// Leaves the process changed when it closes: a German locale, floating-point traps and
// flushing, a umask, blocked signals and no crash handler, another working folder.
#include "tests/plugins/PluginKit.h"

namespace {
bool SpoilOnClose(AEffect*, int32_t opcode, void*, intptr_t*)
{
    if (opcode == effClose) SpoilProcess();
    return false;
}
const CPluginAnswers kAnswers{.name = "Spoils Process", .uniqueId = 0x5A53506F, .special = SpoilOnClose};
}  // namespace

ZOO_EXPORT AEffect* VSTPluginMain(AudioMasterCallback host) { return CreateZooEffect(kAnswers, host); }
