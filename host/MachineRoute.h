#pragma once
// Which scan server a plug-in file goes to, read from its PE header without loading it.
#include <string>
#include <vector>

enum class ServerMachine { kX64, kX86, kNone };

struct CRoute {
    ServerMachine machine = ServerMachine::kNone;
    std::string problem;  // why no server can scan it, when there is none
    bool hostFailure = false;  // the host's own failure (no server, a file it cannot read), not the file's: no verdict on it
};

// `haveX86`: whether a 32-bit server is there to take 32-bit files.
CRoute RouteFile(const std::string& path, bool haveX86);

const char* MachineText(ServerMachine machine);  // "x64", "x86", "" ("linux-x86_64" on Linux)
// The machines this platform's servers scan for, as MachineText names them, in order.
std::vector<std::string> ServerMachineNames();
