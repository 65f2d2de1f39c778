// Runs an illegal instruction while it is being created (the compiler's trap: ud2 on x86).
#include "tests/plugins/PluginKit.h"

ZOO_EXPORT AEffect* VSTPluginMain(AudioMasterCallback)
{
    __builtin_trap();
}
