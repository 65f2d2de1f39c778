#include "tests/linux/DebianPackages.h"

#include <cstdio>

const char* const kDebianPluginPackages[5] = {"lsp-plugins-vst", "dpf-plugins-vst", "dragonfly-reverb-vst",
                                              "iem-plugin-suite-vst", "zam-plugins"};

std::set<std::string> DebianPackagePaths(std::string& missing)
{
    std::set<std::string> paths;
    for (const char* package : kDebianPluginPackages) {
        std::string listed;
        if (FILE* pipe = popen((std::string("dpkg -L ") + package + " 2>/dev/null").c_str(), "r")) {
            char chunk[4096];
            while (size_t count = fread(chunk, 1, sizeof(chunk), pipe)) listed.append(chunk, count);
            pclose(pipe);
        }
        if (listed.empty()) missing += std::string(missing.empty() ? "" : ", ") + package;
        size_t start = 0;
        for (size_t end; (end = listed.find('\n', start)) != std::string::npos; start = end + 1)
            paths.insert(listed.substr(start, end - start));
    }
    return paths;
}
