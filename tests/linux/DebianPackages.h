#pragma once
// The Debian packages of plug-ins by others that the Linux tests judge exactly, and the paths
// they installed. A machine may hold more plug-ins; those get a verdict, not a set one.
#include <map>
#include <set>
#include <string>
#include <vector>

extern const char* const kDebianPluginPackages[5];

// Every path `dpkg -L` lists for the packages; the names of those it knows nothing of go to `missing`.
std::set<std::string> DebianPackagePaths(std::string& missing);

// The real faults the check finds in them (README), by file name: the verdicts a check of the
// file may end with, each as the start of its text. A race shows in some runs only, so the
// files with one may pass too; every other file must pass.
const std::map<std::string, std::vector<std::string>>& DebianCheckFaults();
// Whether a check of `file` may end with `verdict` ("passed", "crashed in automation ...").
bool DebianCheckVerdictExpected(const std::string& file, const std::string& verdict);
