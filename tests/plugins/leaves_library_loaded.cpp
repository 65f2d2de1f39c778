// Loads a library of its own folder and never frees it: a later plug-in that needs a library
// of that name would be bound to this one.
#include <dlfcn.h>

#include <string>

#include "tests/plugins/PluginKit.h"

namespace {
const CPluginAnswers kAnswers{.name = "Leaves Library Loaded", .uniqueId = 0x5A4C4C4C};
}  // namespace

ZOO_EXPORT AEffect* VSTPluginMain(AudioMasterCallback host)
{
    Dl_info self{};
    if (dladdr(reinterpret_cast<void*>(&VSTPluginMain), &self) && self.dli_fname) {
        std::string helper = self.dli_fname;
        helper = helper.substr(0, helper.rfind('/') + 1) + "../not-installed/missing_helper.so";
        dlopen(helper.c_str(), RTLD_NOW | RTLD_LOCAL);
    }
    return CreateZooEffect(kAnswers, host);
}
