#pragma once
// What the command's process entry hands the rest: its arguments, as UTF-8.
#include <string>
#include <vector>

// The whole run; its exit code.
int RunScanner(const std::vector<std::string>& arguments);
