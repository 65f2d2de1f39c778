#include "host/ServerStart.h"

#include <windows.h>

#include "host/WindowsText.h"

CommandText ServerCommand(const NativeText& server, const NativeText& requestEnd, const NativeText& outputEnd,
                          const NativeText& window, const NativeText& dumpFolder)
{
    std::wstring line = QuoteArgument(server) + L" " + requestEnd + L" " + outputEnd + L" " + window;
    if (!dumpFolder.empty()) line += L" " + QuoteArgument(dumpFolder);
    return line;
}

bool StartCannotSucceed(uint32_t error)
{
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND || error == ERROR_BAD_EXE_FORMAT;
}
