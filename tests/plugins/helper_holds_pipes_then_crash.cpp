// Starts a helper process that inherits every inheritable handle of the scan server (its pipe
// ends included) and outlives it, as licence helpers do, then faults.
#include <windows.h>

#include "tests/plugins/PluginKit.h"

ZOO_EXPORT AEffect* VSTPluginMain(AudioMasterCallback)
{
    // The server itself, started without arguments, shows its window and waits for ever.
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION helper{};
    if (CreateProcessW(self, nullptr, nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &helper)) {
        CloseHandle(helper.hThread);
        CloseHandle(helper.hProcess);
    }
    WriteThroughNull();
    return nullptr;
}
