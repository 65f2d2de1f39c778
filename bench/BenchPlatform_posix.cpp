#include "bench/BenchPlatform.h"

#include <chrono>
#include <cstdlib>

#include "host/Paths.h"

std::string BenchFolder() { return ProgramFolder(); }

NativeText BenchServerPath() { return ProgramFolder() + "/ScanServer-linux-x86_64"; }

std::string QuotedArgument(const std::string& argument)
{
    std::string quoted = "'";
    for (char c : argument) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

// The zoo's ordinary effect: a plug-in as small as Linux makes them.
std::string CopiedPlugin() { return BenchFolder() + "/plugins/ordinary_effect.so"; }

double RunScanner(const std::string& arguments, const std::string& environment)
{
    const std::string command =
        environment + " " + QuotedArgument(BenchFolder() + "/tessarine-scan") + " " + arguments + " >/dev/null 2>&1";
    const auto started = std::chrono::steady_clock::now();
    (void)!std::system(command.c_str());
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
}
