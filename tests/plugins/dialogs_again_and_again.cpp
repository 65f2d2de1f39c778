// Asks the same question again every time its message box is closed, eight times over.
#include <windows.h>

#include "tests/plugins/PluginKit.h"

ZOO_EXPORT AEffect* VSTPluginMain(AudioMasterCallback host)
{
    for (int asked = 0; asked < 8; ++asked) MessageBoxW(nullptr, L"Are you sure?", L"Nagging", MB_OKCANCEL);
    static const CPluginAnswers answers{.name = "Dialogs Again And Again", .uniqueId = 0x5A444141};
    return CreateZooEffect(answers, host);
}
