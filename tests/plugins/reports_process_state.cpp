// A witness: its product string is what it sees of the process it was loaded into.
#include "tests/plugins/PluginKit.h"

namespace {
std::string Seen;
CPluginAnswers Answers{.name = "Reports Process State", .uniqueId = 0x5A525053};
}  // namespace

ZOO_EXPORT AEffect* VSTPluginMain(AudioMasterCallback host)
{
    Seen = ProcessStateText();
    Answers.product = Seen.c_str();
    return CreateZooEffect(Answers, host);
}
