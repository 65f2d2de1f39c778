// Never returns from its entry point, like a plug-in waiting on a licence dialog nobody sees.
#include "tests/plugins/PluginKit.h"

ZOO_EXPORT AEffect* VSTPluginMain(AudioMasterCallback) { HangForEver(); }
