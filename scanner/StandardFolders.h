#pragma once
// The folders where installers put plug-ins, searched when no path is given: each with where it
// came from (on Windows a known folder, the registry, CLAP_PATH; on Linux the home and system
// folders and the search-path variables) and the formats it is searched for.
#include <string>
#include <vector>

#include "scanner/PluginFiles.h"

struct CStandardFolder {
    std::string path;       // normal, as the walk takes it
    std::string source;     // "%CommonProgramFiles%\VST3", "HKLM\SOFTWARE\VST (32-bit view)", "~/.vst3", "LXVST_PATH", ...
    CFormatChoice formats;  // only those asked for
    bool exists = false;
};

// Each folder once (by its path's key), however many sources name it: their formats and
// sources joined, in the order first named.
std::vector<CStandardFolder> StandardFolders(CFormatChoice chosen);
