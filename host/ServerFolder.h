#pragma once
// The files a scan server leaves: its private folder for dumps, and the names they are kept
// under beside the host's other dumps. The system's side stands in a file for each platform.
#include <chrono>
#include <cstdint>
#include <vector>

#include "host/NativeText.h"

struct CFolderFile {
    NativeText path;
    NativeText name;
    uint64_t size = 0;
    std::chrono::steady_clock::time_point created;  // or last written, where the system has no birth time
};

bool PathExists(const NativeText& path);
bool IsFolderPath(const NativeText& path);
void MakeFolder(const NativeText& folder);
// Removes an empty folder; one that is not empty stays.
void RemoveEmptyFolder(const NativeText& folder);
// The files in a folder whose names end with `suffix` (every file for an empty one).
std::vector<CFolderFile> FolderFiles(const NativeText& folder, const NativeText& suffix);
void DeleteFileAt(const NativeText& path);
// Moves a file, replacing what was there, across volumes too.
bool MoveFileTo(const NativeText& source, const NativeText& target);
// A file name in `folder` that no other file has, claimed by creating it empty; empty when none could be.
NativeText ClaimFileName(const NativeText& folder, const NativeText& stem, const NativeText& extension);
// A folder name inside `parent` unique to this process and this moment, for a server of its own.
NativeText PrivateFolderName(const NativeText& parent, unsigned serial);
// The folder separator's join.
NativeText JoinPath(const NativeText& folder, const NativeText& name);
// Whether two paths (UTF-8) name the same file: case-blind on Windows; on Linux the same
// file through any link to it too (a dump names files by their real paths).
bool SameFile(const std::string& a, const std::string& b);
