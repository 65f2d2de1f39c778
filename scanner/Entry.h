#pragma once
// What the command's process entry hands the rest: its arguments, as UTF-8.
#include <atomic>
#include <string>
#include <vector>

// The whole run; its exit code.
int RunScanner(const std::vector<std::string>& arguments);

// Set by the process entry when a signal stops the run: the servers are ended under their
// plug-ins, so no result from then on is a verdict, and none is kept or shown.
extern std::atomic<bool> StopRequested;
