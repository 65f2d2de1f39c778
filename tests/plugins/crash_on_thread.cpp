// Starts a thread of its own that faults, and waits for it while it is created.
#include <windows.h>

#include "tests/plugins/PluginKit.h"

namespace {
DWORD WINAPI FaultingThread(void*)
{
    WriteThroughNull();
    return 0;
}
}  // namespace

ZOO_EXPORT AEffect* VSTPluginMain(AudioMasterCallback)
{
    HANDLE thread = CreateThread(nullptr, 0, FaultingThread, nullptr, 0, nullptr);
    WaitForSingleObject(thread, INFINITE);
    return nullptr;
}
