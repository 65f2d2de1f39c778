// An entry whose get_factory crashes.
#include "tests/plugins/ClapKit.h"

namespace {
const void* Crash(const char*)
{
    *static_cast<volatile int*>(nullptr) = 1;
    return nullptr;
}
}  // namespace

const CZooClapPlugin ZooClapPlugins[] = {{"com.tessarine.zoo.crash", "Crash", nullptr, 2, 2, false, false, nullptr}};
const uint32_t ZooClapPluginCount = 1;

ZOO_EXPORT const clap::PluginEntry clap_entry{{1, 2, 0}, ZooEntryInit, ZooEntryDeinit, Crash};
