// Recurses without end while it is created: a stack overflow.
#include "tests/plugins/PluginKit.h"

namespace {
int Recurse(int depth)
{
    volatile char frame[256];
    frame[0] = static_cast<char>(depth);
    return depth >= 0 ? Recurse(depth + 1) + frame[0] : 0;  // the stack ends long before the int
}
}  // namespace

ZOO_EXPORT AEffect* VSTPluginMain(AudioMasterCallback)
{
    Recurse(0);
    return nullptr;
}
