// Loads a library of its own from beside its folder and never frees it: a later plug-in that
// needs a library of that name would be bound to this one.
#include "tests/plugins/PluginKit.h"

namespace {
const CPluginAnswers kAnswers{.name = "Leaves Library Loaded", .uniqueId = 0x5A4C4C4C};
#if defined(_WIN32)
constexpr const char* kHelper = "../not-installed/missing_helper.dll";
#else
constexpr const char* kHelper = "../not-installed/missing_helper.so";
#endif
}  // namespace

ZOO_EXPORT AEffect* VSTPluginMain(AudioMasterCallback host)
{
    LoadLibraryBeside(kHelper);
    return CreateZooEffect(kAnswers, host);
}
