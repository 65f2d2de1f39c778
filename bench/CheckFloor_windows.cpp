#include "bench/CheckFloor.h"

#include <windows.h>

#include "probe/ProcessGuard.h"
#include "protocol/OutputChannel.h"

CCheckFloor::CCheckFloor()
{
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    CreatePipe(&readEnd, &writeEnd, nullptr, 1 << 16);
    read = reinterpret_cast<intptr_t>(readEnd);
    write = reinterpret_cast<intptr_t>(writeEnd);
    OutputChannel = write;
    KeepProcessState();  // as the server does at start-up: the check takes the process back to it
    reader = std::thread([this] {
        char chunk[65536];
        DWORD count = 0;
        while (ReadFile(reinterpret_cast<HANDLE>(read), chunk, sizeof(chunk), &count, nullptr) && count > 0) {}
    });
}

CCheckFloor::~CCheckFloor()
{
    OutputChannel = 0;
    CloseHandle(reinterpret_cast<HANDLE>(write));
    reader.join();
    CloseHandle(reinterpret_cast<HANDLE>(read));
}
