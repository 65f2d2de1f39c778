// An entry whose init refuses.
#include "tests/plugins/ClapKit.h"

namespace {
bool Refuse(const char*) { return false; }
}  // namespace

const CZooClapPlugin ZooClapPlugins[] = {{"com.tessarine.zoo.refused", "Refused", nullptr, 2, 2, false, false, nullptr}};
const uint32_t ZooClapPluginCount = 1;

ZOO_EXPORT const clap::PluginEntry clap_entry{{1, 2, 0}, Refuse, ZooEntryDeinit, ZooGetFactory};
