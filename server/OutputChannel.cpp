#include "server/OutputChannel.h"

#include "server/LogLine.h"

HANDLE InputHandle = nullptr;
HANDLE OutputHandle = nullptr;

void WriteOutput(const char* bytes, size_t count)
{
    DWORD written = 0;
    WriteFile(OutputHandle, bytes, static_cast<DWORD>(count), &written, nullptr);
    FlushFileBuffers(OutputHandle);
}
