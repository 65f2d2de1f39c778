// Lets a C++ exception escape from effClose.
#include <stdexcept>

#include "tests/plugins/PluginKit.h"

namespace {
bool ThrowOnClose(AEffect*, int32_t opcode, void*, intptr_t*)
{
    if (opcode == effClose) throw std::runtime_error("escapes the plug-in");
    return false;
}
const CPluginAnswers kAnswers{.name = "Close Throws Uncaught", .uniqueId = 0x5A435455, .special = ThrowOnClose};
}  // namespace

ZOO_EXPORT AEffect* VSTPluginMain(AudioMasterCallback host) { return CreateZooEffect(kAnswers, host); }
