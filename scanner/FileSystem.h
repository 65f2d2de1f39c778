#pragma once
// The file system as the plug-in walk sees it: what a path leads to, through links, and what a
// folder lists. The system's side stands in a file for each platform.
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "host/NativeText.h"

// A file or folder as the file system knows it, whatever links lead to it: volume and index
// (device and inode). An index of 0 means the file system gives none.
using CFileIdentity = std::pair<uint64_t, uint64_t>;

struct CFileFacts {
    bool exists = false;
    unsigned long error = 0;  // why not, the system's code
    bool folder = false;
    uint64_t size = 0;
    std::string modified;  // UTC, ISO 8601 with 100 ns
    CFileIdentity identity{};
};

// One entry of a folder's listing. A plain file's facts come with the listing; a folder or a
// link is to be examined, to see where it leads.
struct CFolderEntry {
    NativeText name;
    bool folder = false;
    bool link = false;
    CFileFacts facts;
};

// The VST 2 plug-in file's own extension: ".dll" on Windows, ".so" on Linux.
extern const char* const kVst2Suffix;

// Whether the system's error says the path does not exist (rather than that it cannot be reached).
bool IsMissingError(unsigned long error);

// Follows links to what the path leads to.
CFileFacts Examine(const NativeText& path);
// The entries of a folder, "." and ".." left out; false with the system's error when it cannot be read.
bool ListFolder(const NativeText& folder, const CFileFacts& found, std::vector<CFolderEntry>& entries, unsigned long& error);
// Compares as the file system compares names: without case on Windows.
bool NameEndsWith(const NativeText& name, const char* suffix);
std::string NowIso8601();
