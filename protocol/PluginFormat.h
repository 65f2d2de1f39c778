#pragma once
// The plug-in formats the scan servers answer for, told apart by the path a request names:
// ".vst3" (a VST 3 module: a bundle folder or its binary, or a single file), ".clap" (a CLAP
// file), anything else a VST 2 DLL, as every request was before the other formats came.
#include <string_view>

enum class PluginFormat { kVst2, kVst3, kClap };

PluginFormat FormatOfPath(std::string_view path);
PluginFormat FormatOfPath(std::u16string_view path);

// "vst2", "vst3", "clap"
const char* FormatName(PluginFormat format);
