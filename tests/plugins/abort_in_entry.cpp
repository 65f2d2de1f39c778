// Gives up with abort() while it is being created, as an assertion of a release build does:
// the fault is the C library's, called from the plug-in.
#include <cstdlib>

#include "tests/plugins/PluginKit.h"

ZOO_EXPORT AEffect* VSTPluginMain(AudioMasterCallback)
{
    std::abort();
}
