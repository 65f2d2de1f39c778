#include "host/Bundles.h"

namespace {

constexpr char kMachineFolder[] = "/Contents/x86_64-linux/";

std::string Trimmed(std::string path)
{
    while (!path.empty() && path.back() == '/') path.pop_back();
    return path;
}

// "Delay.vst3" holds "Delay.so".
std::string BinaryName(const std::string& bundle)
{
    std::string name = bundle.substr(bundle.find_last_of('/') + 1);
    if (name.size() > 5 && name.compare(name.size() - 5, 5, ".vst3") == 0) name.resize(name.size() - 5);
    return name + ".so";
}

}  // namespace

std::vector<std::string> BundleBinaryPaths(const std::string& bundle)
{
    const std::string folder = Trimmed(bundle);
    return {folder + kMachineFolder + BinaryName(folder)};
}

std::string BundleOfBinary(const std::string& path)
{
    const size_t at = path.rfind(kMachineFolder);
    if (at == std::string::npos || at == 0 || path.find('/', at + sizeof(kMachineFolder) - 1) != std::string::npos) return "";
    return path.substr(0, at);
}

std::string NoBinaryProblem(const std::string& bundle)
{
    const std::string folder = Trimmed(bundle);
    return "the bundle holds no binary for Linux (Contents/x86_64-linux/" + BinaryName(folder) + ")";
}
