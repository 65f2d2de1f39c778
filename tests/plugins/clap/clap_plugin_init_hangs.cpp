// A plug-in that never returns from its init.
#include <chrono>
#include <thread>

#include "tests/plugins/ClapKit.h"

namespace {
bool HangForEver()
{
    for (;;) std::this_thread::sleep_for(std::chrono::seconds(1));
}
}  // namespace

const CZooClapPlugin ZooClapPlugins[] = {{"com.tessarine.zoo.hang", "Hang", nullptr, 2, 2, false, false, HangForEver}};
const uint32_t ZooClapPluginCount = 1;

ZOO_EXPORT const clap::PluginEntry clap_entry{{1, 2, 0}, ZooEntryInit, ZooEntryDeinit, ZooGetFactory};
