#pragma once
// The standard folders as they are gathered: each once (by its path's key), however many
// sources name it, their formats and sources joined, in the order first named.
#include <map>
#include <string>
#include <vector>

#include "host/NativeText.h"
#include "scanner/StandardFolders.h"

// A folder named in full, as the platform writes one; a relative entry of a search path would
// depend on the folder the scanner happens to start in.
bool IsAbsoluteFolder(const NativeText& folder);

constexpr CFormatChoice kVst2Only{true, false, false}, kVst3Only{false, true, false}, kClapOnly{false, false, true};

class CFolderList {
public:
    explicit CFolderList(CFormatChoice chosen) : chosen(chosen) {}

    // A folder a source names, with the formats it is searched for; one not named in full is left out.
    void Add(const NativeText& folder, const std::string& source, CFormatChoice formats);

    std::vector<CStandardFolder> folders;

private:
    CFormatChoice chosen;
    std::map<std::string, size_t> index;
};
