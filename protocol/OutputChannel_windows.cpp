#include "protocol/OutputChannel.h"

#include <windows.h>

#include "protocol/LogLine.h"

intptr_t OutputChannel = 0;

void WriteOutput(const char* bytes, size_t count)
{
    const HANDLE output = OutputChannel ? reinterpret_cast<HANDLE>(OutputChannel) : GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD written = 0;
    WriteFile(output, bytes, static_cast<DWORD>(count), &written, nullptr);
    FlushFileBuffers(output);
}

void WriteStandardError(const char* bytes, size_t count)
{
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_ERROR_HANDLE), bytes, static_cast<DWORD>(count), &written, nullptr);
}
