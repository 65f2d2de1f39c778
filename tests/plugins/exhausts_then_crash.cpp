// Opens files until none is left, then faults: the dump must be written all the same.
#include <fcntl.h>

#include "tests/plugins/PluginKit.h"

ZOO_EXPORT AEffect* VSTPluginMain(AudioMasterCallback)
{
    while (open("/dev/null", O_RDONLY) >= 0) {}
    WriteThroughNull();
    return nullptr;
}
