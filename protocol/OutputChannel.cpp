#include "protocol/OutputChannel.h"

#include "protocol/LogLine.h"

HANDLE OutputHandle = nullptr;

void WriteOutput(const char* bytes, size_t count)
{
    DWORD written = 0;
    WriteFile(OutputHandle, bytes, static_cast<DWORD>(count), &written, nullptr);
    FlushFileBuffers(OutputHandle);
}
