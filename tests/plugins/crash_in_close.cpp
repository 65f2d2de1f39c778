// Answers everything, then faults with an access violation in effClose.
#include "tests/plugins/PluginKit.h"

namespace {
bool FaultOnClose(AEffect*, int32_t opcode, void*, intptr_t*)
{
    if (opcode == effClose) WriteThroughNull();
    return false;
}
const CPluginAnswers kAnswers{.name = "Crash In Close", .uniqueId = 0x5A43436C, .vendorVersion = 3, .special = FaultOnClose};
}  // namespace

ZOO_EXPORT AEffect* VSTPluginMain(AudioMasterCallback host) { return CreateZooEffect(kAnswers, host); }
