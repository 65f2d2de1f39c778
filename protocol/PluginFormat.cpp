#include "protocol/PluginFormat.h"

namespace {

template <typename Char>
bool EndsWithIgnoringCase(std::basic_string_view<Char> text, std::string_view suffix)
{
    if (text.size() < suffix.size()) return false;
    const size_t start = text.size() - suffix.size();
    for (size_t i = 0; i < suffix.size(); ++i) {
        Char c = text[start + i];
        if (c >= 'A' && c <= 'Z') c = static_cast<Char>(c - 'A' + 'a');
        if (c != static_cast<Char>(suffix[i])) return false;
    }
    return true;
}

// A Linux VST 3 module's binary, "NAME.vst3/Contents/x86_64-linux/NAME.so": a shared object
// like any other but for the bundle it lies in.
template <typename Char>
bool IsLinuxBundleBinary(std::basic_string_view<Char> path)
{
    constexpr std::string_view kInside = ".vst3/contents/x86_64-linux/";  // compared without case
    if (!EndsWithIgnoringCase(path, ".so")) return false;
    const size_t name = path.find_last_of(static_cast<Char>('/'));
    if (name == std::basic_string_view<Char>::npos || name + 1 < kInside.size()) return false;
    return EndsWithIgnoringCase(path.substr(0, name + 1), kInside);
}

template <typename Char>
PluginFormat FormatOf(std::basic_string_view<Char> path)
{
    // A request for one sub-plug-in ("path>id") is a VST 2 shell's; a bundle folder may end
    // with a separator.
    while (!path.empty() && (path.back() == '\\' || path.back() == '/')) path.remove_suffix(1);
    if (EndsWithIgnoringCase(path, ".vst3") || IsLinuxBundleBinary(path)) return PluginFormat::kVst3;
    if (EndsWithIgnoringCase(path, ".clap")) return PluginFormat::kClap;
    return PluginFormat::kVst2;
}

}  // namespace

PluginFormat FormatOfPath(std::string_view path) { return FormatOf(path); }
PluginFormat FormatOfPath(std::u16string_view path) { return FormatOf(path); }

const char* FormatName(PluginFormat format)
{
    switch (format) {
    case PluginFormat::kVst2: return "vst2";
    case PluginFormat::kVst3: return "vst3";
    case PluginFormat::kClap: return "clap";
    }
    return "";
}
