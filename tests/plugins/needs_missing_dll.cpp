// Imports a function from a DLL that is not installed beside it: it cannot be loaded.
#include "tests/plugins/PluginKit.h"

ZOO_IMPORT int MissingHelperAnswer();

ZOO_EXPORT AEffect* VSTPluginMain(AudioMasterCallback host)
{
    static const CPluginAnswers answers{.name = "Needs Missing DLL", .uniqueId = MissingHelperAnswer()};
    return CreateZooEffect(answers, host);
}
