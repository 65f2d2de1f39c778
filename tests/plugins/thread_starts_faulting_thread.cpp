// Leaves a thread behind that, 2.5 s later, starts another thread which faults outside any
// library: the faulting thread is new to whoever is being scanned then, but not theirs.
#include <windows.h>

#include "tests/plugins/PluginKit.h"

namespace {
DWORD WINAPI StartFaultingThread(void*)
{
    Sleep(2500);
    // A start address in no library: the fault names no module.
    const auto nowhere = reinterpret_cast<LPTHREAD_START_ROUTINE>(static_cast<uintptr_t>(0x10));
    CloseHandle(CreateThread(nullptr, 0, nowhere, nullptr, 0, nullptr));
    Sleep(INFINITE);
    return 0;
}
const CPluginAnswers kAnswers{.name = "Thread Starts Faulting Thread", .uniqueId = 0x5A545346};
}  // namespace

ZOO_EXPORT AEffect* VSTPluginMain(AudioMasterCallback host)
{
    KeepLoaded();
    CloseHandle(CreateThread(nullptr, 0, StartFaultingThread, nullptr, 0, nullptr));
    return CreateZooEffect(kAnswers, host);
}
