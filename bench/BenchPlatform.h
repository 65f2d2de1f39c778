#pragma once
// What the benchmarks need of the platform, so that one set of figures measures both: where the
// programs are, how tessarine-scan is run, and the plug-in copied into the folders of many.
#include <string>
#include <vector>

#include "host/ChildProcess.h"
#include "host/ScanOutcome.h"

// The folder of the benchmark, the servers and the zoo (UTF-8).
std::string BenchFolder();
// The server for the machine's own plug-ins.
NativeText BenchServerPath();
// Runs tessarine-scan with `arguments` (already quoted) and its outputs thrown away; gives the
// seconds it took. `environment` is set for it alone ("HOME=..."), where the platform has one.
double RunScanner(const std::string& arguments, const std::string& environment = "");
// An argument as the platform's command line takes it.
std::string QuotedArgument(const std::string& argument);
// The file copied into the folders of many: a VST 2 effect of the bench's or the zoo's.
std::string CopiedPlugin();
