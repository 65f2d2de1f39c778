// An entry of CLAP version 0.x, which the scanner must refuse without calling anything in it:
// its init crashes.
#include "tests/plugins/ClapKit.h"

namespace {
bool Crash(const char*)
{
    *static_cast<volatile int*>(nullptr) = 1;
    return false;
}
}  // namespace

const CZooClapPlugin ZooClapPlugins[] = {{"com.tessarine.zoo.version", "Version 0", nullptr, 2, 2, false, false, nullptr}};
const uint32_t ZooClapPluginCount = 1;

ZOO_EXPORT const clap::PluginEntry clap_entry{{0, 9, 0}, Crash, ZooEntryDeinit, ZooGetFactory};
