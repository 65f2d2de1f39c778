#include <windows.h>

#include "server/RequestLoop.h"

intptr_t InputChannel = 0;

bool ReadRequestBytes(char* buffer, size_t capacity, size_t& count)
{
    DWORD read = 0;
    const bool ok = ReadFile(reinterpret_cast<HANDLE>(InputChannel), buffer, static_cast<DWORD>(capacity), &read, nullptr);
    count = read;
    return ok;
}
