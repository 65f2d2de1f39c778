#pragma once
// The plug-in libraries named on the command line: files as given, folders searched
// recursively for ".dll" files. Paths are absolute Windows paths in UTF-8.
#include <cstdint>
#include <string>
#include <vector>

#include "host/WindowsText.h"

struct CPluginFile {
    std::string path;
    uint64_t size = 0;
    std::string modified;  // UTC, ISO 8601 with 100 ns
};

// False, with the offending input in `problem`, when an input does not exist.
bool FindPluginFiles(const std::vector<std::string>& inputs, std::vector<CPluginFile>& files, std::string& problem);

std::string NowIso8601();
