// Names with every character a report has to escape, in 8-bit text: quote, backslash, solidus,
// tab, line feed, carriage return, Latin-1 letters and control characters.
#include "tests/plugins/PluginKit.h"

namespace {
const CPluginAnswers kAnswers{
    .name = "Quote\" Back\\ Slash/ Tab\t End",
    .vendor = "Latin-1 caf\xE9 \x7F\x0B\x13\x1B\x1F",
    .product = "Line\nFeed\rReturn",
    .uniqueId = static_cast<int32_t>(0x80000001),
};
}  // namespace

ZOO_EXPORT AEffect* VSTPluginMain(AudioMasterCallback host) { return CreateZooEffect(kAnswers, host); }
