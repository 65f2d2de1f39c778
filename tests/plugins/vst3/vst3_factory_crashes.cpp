// A module whose GetPluginFactory crashes.
#include "tests/plugins/Vst3Kit.h"

ZOO_EXPORT vst3::IPluginFactory* VST3_METHOD GetPluginFactory()
{
    *static_cast<volatile int*>(nullptr) = 1;
    return nullptr;
}
