// An entry of CLAP version 2.x, which the scanner must refuse without calling anything in it:
// its init crashes.
#include "tests/plugins/ClapKit.h"

namespace {
bool Crash(const char*)
{
    *static_cast<volatile int*>(nullptr) = 1;
    return false;
}
}  // namespace

const CZooClapPlugin ZooClapPlugins[] = {{"com.tessarine.zoo.version", "Version 2", nullptr, 2, 2, false, false, nullptr}};
const uint32_t ZooClapPluginCount = 1;

ZOO_EXPORT const clap::PluginEntry clap_entry{{2, 9, 0}, Crash, ZooEntryDeinit, ZooGetFactory};
