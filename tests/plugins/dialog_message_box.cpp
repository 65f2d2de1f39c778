// Asks for a serial number in a message box while it is created, as licence checks do; once
// the box is gone, by either button, it is an ordinary effect.
#include <windows.h>

#include "tests/plugins/PluginKit.h"

ZOO_EXPORT AEffect* VSTPluginMain(AudioMasterCallback host)
{
    MessageBoxW(nullptr, L"Please enter your serial number", L"Licence", MB_OKCANCEL | MB_ICONINFORMATION);
    static const CPluginAnswers answers{.name = "Dialog Message Box", .uniqueId = 0x5A444D42};
    return CreateZooEffect(answers, host);
}
