// Opens a visible top-level window of a system class and leaves it open after its scan: the
// next plug-in must not be taken for a dialog's author, nor blocked by it.
#include <windows.h>

#include "tests/plugins/PluginKit.h"

namespace {
const CPluginAnswers kAnswers{.name = "Leaves Popup Open", .uniqueId = 0x5A4C504F};
}  // namespace

ZOO_EXPORT AEffect* VSTPluginMain(AudioMasterCallback host)
{
    CreateWindowExW(WS_EX_TOPMOST, L"STATIC", L"Leftover popup", WS_POPUP | WS_VISIBLE | WS_BORDER, 100, 100, 300, 120, nullptr,
                    nullptr, nullptr, nullptr);
    return CreateZooEffect(kAnswers, host);
}
