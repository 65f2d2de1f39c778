// The scan server's process entry off Windows: start-up, the request loop, shutdown. The host
// passes the two pipe ends as the Windows server's handles are passed: hexadecimal numbers,
// here file descriptors. Without them it serves standard input and output.
#include <fcntl.h>
#include <unistd.h>

#include <csignal>

#include "probe/ProbeState.h"
#include "probe/ProcessGuard.h"
#include "probe/ProcessGuard.h"
#include "probe/ScanDriver.h"
#include "protocol/HexArgument.h"
#include "protocol/LogLine.h"
#include "protocol/OutputChannel.h"
#include "protocol/Platform.h"
#include "protocol/Utf8.h"
#include "server/CrashDump.h"
#include "server/ParentWatch.h"
#include "server/RequestLoop.h"

namespace {

uint64_t HexArgument(char** arguments, int count, int position)
{
    return position < count ? ParseHexArgument(Utf8ToUtf16(arguments[position]).c_str()) : 0;
}

}  // namespace

int main(int count, char** arguments)
{
    InitCrashHandling();
    // A host that went away makes writes fail, not end the server in the middle of a scan.
    signal(SIGPIPE, SIG_IGN);
    KeepProcessState();
    WatchParent();

    const uint64_t requestPipe = HexArgument(arguments, count, 1);
    const uint64_t outputPipe = HexArgument(arguments, count, 2);
    // Nothing a plug-in starts may hold our pipe ends: the host must see them close with us.
    for (uint64_t pipe : {requestPipe, outputPipe})
        if (pipe) fcntl(static_cast<int>(pipe), F_SETFD, FD_CLOEXEC);
    if (count > 4 && arguments[4][0] != '\0') SetCrashFolder(Utf8ToUtf16(arguments[4]).c_str());

    InputChannel = requestPipe ? static_cast<intptr_t>(requestPipe) : STDIN_FILENO;
    OutputChannel = static_cast<intptr_t>(outputPipe);
    LogInfo(u"Tessarine Plugin Scan Server (%s)\n", kPlatformName);

    RunRequestLoop();
    FreeCachedLibrary();
    return 0;
}
