#include "host/Bundles.h"

#include <cstring>

namespace {

constexpr const char* kMachineFolders[] = {"x86_64-win", "x86-win"};

std::string Trimmed(std::string path)
{
    while (!path.empty() && (path.back() == '\\' || path.back() == '/')) path.pop_back();
    return path;
}

std::string NameOf(const std::string& bundle) { return bundle.substr(bundle.find_last_of("\\/") + 1); }

}  // namespace

std::vector<std::string> BundleBinaryPaths(const std::string& bundle)
{
    const std::string folder = Trimmed(bundle);
    std::vector<std::string> paths;
    for (const char* machine : kMachineFolders)
        paths.push_back(folder + "\\Contents\\" + machine + "\\" + NameOf(folder));
    return paths;
}

std::string BundleOfBinary(const std::string& path)
{
    for (const char* machine : kMachineFolders) {
        const std::string marker = std::string("\\Contents\\") + machine + "\\";
        const size_t at = path.rfind(marker);
        if (at != std::string::npos && at > 0 && path.find_first_of("\\/", at + marker.size()) == std::string::npos)
            return path.substr(0, at);
    }
    return "";
}

std::string NoBinaryProblem(const std::string& bundle)
{
    const std::string name = NameOf(Trimmed(bundle));
    return "the bundle holds no binary for Windows (Contents\\x86_64-win\\" + name + " or Contents\\x86-win\\" + name + ")";
}
