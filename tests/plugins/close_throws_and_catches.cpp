// Throws a C++ exception inside effClose and catches it itself; a scanner's guard around the
// call must let it do so and see effClose finish.
#include <stdexcept>

#include "tests/plugins/PluginKit.h"

namespace {
bool ThrowAndCatchOnClose(AEffect*, int32_t opcode, void*, intptr_t*)
{
    if (opcode != effClose) return false;
    try {
        throw std::runtime_error("handled inside the plug-in");
    } catch (const std::exception& e) {
        TellHost(e.what());
    }
    TellHost("close finished");
    return true;
}
const CPluginAnswers kAnswers{.name = "Close Throws And Catches", .uniqueId = 0x5A435443, .special = ThrowAndCatchOnClose};
}  // namespace

ZOO_EXPORT AEffect* VSTPluginMain(AudioMasterCallback host) { return CreateZooEffect(kAnswers, host); }
