// Which server a plug-in file goes to on Linux, read from its ELF header without loading it:
// the one server takes x86-64 shared objects.
#include "host/MachineRoute.h"

#include <cerrno>

#include "host/LoadErrors.h"
#include "host/RegularFile.h"

namespace {

constexpr size_t kHeaderBytes = 64;
constexpr unsigned char kElfClass64 = 2;
constexpr unsigned kMachineX86_64 = 62, kMachineI386 = 3, kMachineAarch64 = 183;

}  // namespace

CRoute RouteFile(const std::string& path, bool)
{
    CRoute route;
    if (const std::string kind = SpecialFileKind(path); !kind.empty()) {
        route.problem = kind + ", not a plug-in";
        return route;
    }
    std::string header;
    // What the scanner itself may not read is no fault of the plug-in's: nothing is kept of it,
    // and it is scanned again once it can be read.
    if (!ReadFileHead(path, header, kHeaderBytes) && (errno == EACCES || errno == EPERM)) {
        route.problem = "the scanner may not read the file: " + SystemErrorText(static_cast<unsigned long>(errno));
        route.hostFailure = true;
        return route;
    }
    // A file that cannot be read otherwise goes to the server anyway, which says why it cannot load it.
    if (header.size() < 20) {
        route.machine = ServerMachine::kX64;
        return route;
    }
    if (header.compare(0, 4, "\x7F" "ELF") != 0) {
        route.problem = "not a Linux shared library";
        return route;
    }
    const unsigned machine = static_cast<unsigned char>(header[18]) | static_cast<unsigned char>(header[19]) << 8;
    if (header[4] == kElfClass64 && machine == kMachineX86_64) route.machine = ServerMachine::kX64;
    else if (machine == kMachineI386) route.problem = "32-bit plug-in; there is no 32-bit Linux scan server";
    else if (machine == kMachineAarch64) route.problem = "built for ARM64; there is no scan server for that machine";
    else route.problem = "built for another machine (ELF machine " + std::to_string(machine) + "); there is no scan server for it";
    return route;
}

const char* MachineText(ServerMachine machine) { return machine == ServerMachine::kNone ? "" : "linux-x86_64"; }

std::vector<std::string> ServerMachineNames() { return {"linux-x86_64"}; }
