#pragma once
// The plug-in libraries named on the command line: files as given, folders searched
// recursively for ".dll" files, through symbolic links and junctions. Paths are normal
// (full, long) Windows paths in UTF-8; each file is listed once, however often it is reached.
#include <cstdint>
#include <string>
#include <vector>

#include "host/WindowsText.h"

struct CPluginFile {
    std::string path;
    std::string key;  // the path's key: the same for every spelling of it
    uint64_t size = 0;
    std::string modified;  // UTC, ISO 8601 with 100 ns
    std::string problem;   // why the file cannot be opened; it is then not scanned
};

// A folder whose entries could not be read, with the system's reason.
struct CUnlistedFolder {
    std::string path;
    std::string problem;
};

// False, with the offending input in `problem`, when an input does not exist. Folders found
// but not listed go to `unlisted`.
bool FindPluginFiles(const std::vector<std::string>& inputs, std::vector<CPluginFile>& files, std::string& problem,
                     std::vector<CUnlistedFolder>* unlisted = nullptr);

std::string NowIso8601();
