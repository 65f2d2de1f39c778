// A module whose InitDll refuses to start: anything else it is asked crashes.
#include "tests/plugins/Vst3Kit.h"

ZOO_VST3_MODULE_ENTRY { return false; }
ZOO_EXPORT vst3::IPluginFactory* VST3_METHOD GetPluginFactory()
{
    *static_cast<volatile int*>(nullptr) = 1;
    return nullptr;
}
ZOO_VST3_MODULE_EXIT
{
    *static_cast<volatile int*>(nullptr) = 1;
    return true;
}
