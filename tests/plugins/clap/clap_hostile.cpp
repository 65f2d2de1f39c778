// A CLAP file that gives what a careless or hostile one could: unsigned channel counts no port
// has, ids longer than any bound that differ only beyond it (with a character across the
// bound), features far longer than a line, and a plug-in without an id whose name would turn
// itself around (a right-to-left override: "report<RLO>txt.exe" reads "reportexe.txt").
#include <string>
#include <vector>

#include "tests/plugins/ClapKit.h"

namespace {
const char* const kEffect[] = {"audio-effect", "stereo", nullptr};
// 4095 bytes, then a two-byte character across the 4096-byte bound, then what tells them apart.
const std::string kLongPrefix = "com.tessarine.zoo." + std::string(4077, 'a') + "\xC3\xA9";
const std::string kLongA = kLongPrefix + "A", kLongB = kLongPrefix + "B";
// 256 features of 4 KB each: a megabyte of honest text on one line, were nothing cut.
const std::string kFeature(4096, 'f');
const std::vector<const char*> kManyFeatures = [] {
    std::vector<const char*> features(256, kFeature.c_str());
    features.push_back(nullptr);
    return features;
}();
}  // namespace

const CZooClapPlugin ZooClapPlugins[] = {
    {kLongA.c_str(), "Long Id A", kEffect, 0xFFFFFFFFu, 0x80000000u, false, false, nullptr},
    {kLongB.c_str(), "Long Id B", kManyFeatures.data(), 2, 2, false, false, nullptr},
    {"", "report\xE2\x80\xAEtxt.exe", kEffect, 2, 2, false, false, nullptr},  // with U+202E
};
const uint32_t ZooClapPluginCount = 3;

ZOO_EXPORT const clap::PluginEntry clap_entry{{1, 2, 0}, ZooEntryInit, ZooEntryDeinit, ZooGetFactory};
