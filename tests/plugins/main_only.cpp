// An old plug-in whose only entry point is exported as "main".
#include "tests/plugins/PluginKit.h"

namespace {
const CPluginAnswers kAnswers{.name = "Main Only", .uniqueId = 0x5A4D4149};
}

#if defined(_WIN32)
// Exported as "main" by main_only.def.
extern "C" AEffect* MainEntry(AudioMasterCallback host) { return CreateZooEffect(kAnswers, host); }
#else
// C++ reserves the name main: the symbol is named for the linker directly.
ZOO_EXPORT AEffect* MainEntry(AudioMasterCallback host) __asm__("main");
AEffect* MainEntry(AudioMasterCallback host) { return CreateZooEffect(kAnswers, host); }
#endif
