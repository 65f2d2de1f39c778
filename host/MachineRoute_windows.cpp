#include "host/MachineRoute.h"

#include "host/LoadErrors.h"
#include "host/PeImage.h"
#include "host/WindowsText.h"

namespace {
constexpr size_t kHeaderBytes = 64 * 1024;  // far more than any PE header needs
}

CRoute RouteFile(const std::string& path, bool haveX86)
{
    CRoute route;
    std::string header;
    // A file that cannot be read goes to the server anyway, which says why it cannot load it.
    if (!ReadFileHead(FromUtf8(path), header, kHeaderBytes)) {
        route.machine = ServerMachine::kX64;
        return route;
    }
    const auto machine = PeMachine(header);
    if (!machine) route.problem = "not a Windows DLL";
    else if (*machine == kMachineX64) route.machine = ServerMachine::kX64;
    else if (*machine == kMachineX86 && haveX86) route.machine = ServerMachine::kX86;
    else if (*machine == kMachineX86) {
        route.problem = "32-bit plug-in; ScanServer-x86.exe not found";
        route.hostFailure = true;
    }
    else route.problem = "built for " + MachineName(*machine) + "; there is no scan server for that machine";
    return route;
}

const char* MachineText(ServerMachine machine)
{
    switch (machine) {
    case ServerMachine::kX64: return "x64";
    case ServerMachine::kX86: return "x86";
    case ServerMachine::kNone: break;
    }
    return "";
}

std::vector<std::string> ServerMachineNames() { return {"x64", "x86"}; }
