#pragma once
// The Debian packages of plug-ins by others that the Linux tests judge exactly, and the paths
// they installed. A machine may hold more plug-ins; those get a verdict, not a set one.
#include <set>
#include <string>

extern const char* const kDebianPluginPackages[5];

// Every path `dpkg -L` lists for the packages; the names of those it knows nothing of go to `missing`.
std::set<std::string> DebianPackagePaths(std::string& missing);
