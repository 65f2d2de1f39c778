// Removes the process's crash filter while it is created, and faults right after: nothing of
// the server's catches that, and the system's own crash handling takes over.
#include <windows.h>

#include "tests/plugins/PluginKit.h"

ZOO_EXPORT AEffect* VSTPluginMain(AudioMasterCallback)
{
    SetUnhandledExceptionFilter(nullptr);
    WriteThroughNull();
    return nullptr;
}
