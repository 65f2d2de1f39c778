// A three-band splitter: one main stereo output port and two more.
#include "tests/plugins/ClapKit.h"

namespace {
const char* const kEffect[] = {"audio-effect", "stereo", nullptr};
}  // namespace

const CZooClapPlugin ZooClapPlugins[] = {
    {"com.tessarine.zoo.splitter", "Three Band Splitter", kEffect, 2, 2, false, false, nullptr, 2},
};
const uint32_t ZooClapPluginCount = 1;

ZOO_EXPORT const clap::PluginEntry clap_entry{{1, 2, 0}, ZooEntryInit, ZooEntryDeinit, ZooGetFactory};
