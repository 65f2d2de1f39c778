#include "host/ServerStart.h"

#include <cerrno>

CommandText ServerCommand(const NativeText& server, const NativeText& requestEnd, const NativeText& outputEnd,
                          const NativeText& window, const NativeText& dumpFolder)
{
    CommandText command{server, requestEnd, outputEnd, window};
    if (!dumpFolder.empty()) command.push_back(dumpFolder);
    return command;
}

bool StartCannotSucceed(uint32_t error)
{
    return error == ENOENT || error == ENOTDIR || error == EACCES || error == ENOEXEC;
}
