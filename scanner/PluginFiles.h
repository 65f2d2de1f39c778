#pragma once
// The plug-in files named on the command line: files as given, folders searched recursively,
// through symbolic links and junctions, for ".dll" files (".so" on Linux; VST 2), ".vst3"
// modules and ".clap" files, as the formats asked for say. A VST 3 bundle folder is one
// plug-in per binary it holds, never searched further. Paths are normal (full; long on
// Windows) paths in UTF-8; each file is listed once, however often it is reached.
#include <cstdint>
#include <string>
#include <vector>

#include "host/NativeText.h"

struct CPluginFile {
    std::string path;
    std::string key;  // the path's key: the same for every spelling of it
    uint64_t size = 0;
    std::string modified;  // UTC, ISO 8601 with 100 ns
    std::string problem;   // why the file cannot be opened; it is then not scanned
    std::string bundle;    // the VST 3 bundle folder it lies in, if any
};

// Which formats a walk picks up.
struct CFormatChoice {
    bool vst2 = true, vst3 = true, clap = true;
};

// A folder whose entries could not be read, with the system's reason.
struct CUnlistedFolder {
    std::string path;
    std::string problem;
};

// False, with what is wrong with an input in `problem` when one cannot be found: "no such file
// or folder: X", or "cannot open X: " with the system's reason (a name too long for it, say).
// Folders found but not listed go to `unlisted`.
bool FindPluginFiles(const std::vector<std::string>& inputs, std::vector<CPluginFile>& files, std::string& problem,
                     std::vector<CUnlistedFolder>* unlisted = nullptr, CFormatChoice formats = {});

// A file or folder to search, with the formats it is searched for.
struct CSearchRoot {
    std::string path;
    CFormatChoice formats;
};
bool FindPluginFiles(const std::vector<CSearchRoot>& roots, std::vector<CPluginFile>& files, std::string& problem,
                     std::vector<CUnlistedFolder>* unlisted = nullptr);

std::string NowIso8601();
