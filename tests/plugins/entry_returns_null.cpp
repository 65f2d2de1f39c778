// An entry point that refuses to create its effect.
#include "tests/plugins/PluginKit.h"

ZOO_EXPORT AEffect* VSTPluginMain(AudioMasterCallback) { return nullptr; }
