// Raises a signal the server does not handle (SIGALRM, whose default is to end the process),
// as a plug-in whose timer fires after it reset the handler does.
#include <csignal>

#include "tests/plugins/PluginKit.h"

ZOO_EXPORT AEffect* VSTPluginMain(AudioMasterCallback)
{
    std::raise(SIGALRM);
    return nullptr;
}
