// Writes 2 MiB without a line feed straight into the server's output pipe while it is created,
// as a plug-in gone wrong could write gigabytes: the host must not keep it all.
#include <string>

#include "tests/plugins/PluginKit.h"

ZOO_EXPORT AEffect* VSTPluginMain(AudioMasterCallback)
{
    const std::string chunk(64 * 1024, 'x');
    for (int i = 0; i < 32; ++i) WriteToServerOutput(chunk.c_str());
    return nullptr;
}
