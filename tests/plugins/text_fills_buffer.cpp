// Fills all 512 bytes of the name buffer without a terminating zero byte.
#include <cstring>

#include "tests/plugins/PluginKit.h"

namespace {
bool NameWithoutTerminator(AEffect*, int32_t opcode, void* pointer, intptr_t* answer)
{
    if (opcode != effGetEffectName) return false;
    std::memset(pointer, 'N', kVstTextBufferSize);
    *answer = 1;
    return true;
}
const CPluginAnswers kAnswers{.uniqueId = 0x5A544642, .special = NameWithoutTerminator};
}  // namespace

ZOO_EXPORT AEffect* VSTPluginMain(AudioMasterCallback host) { return CreateZooEffect(kAnswers, host); }
