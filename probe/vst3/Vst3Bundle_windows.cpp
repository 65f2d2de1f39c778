// A VST 3 module on Windows: NAME.vst3 is the DLL itself or a bundle folder holding
// Contents\<machine>-win\NAME.vst3; InitDll and ExitDll take nothing.
#include "probe/vst3/Vst3Module.h"

const char16_t* const kBundleSeparators = u"\\/";

std::u16string BundleBinary(const std::u16string& bundleName)
{
    const std::u16string machine = sizeof(void*) == 8 ? u"x86_64-win" : u"x86-win";
    return u"Contents\\" + machine + u"\\" + bundleName;
}

CVst3ModuleEntry::CVst3ModuleEntry(PluginModule module)
    : module(module), enter(FindExport(module, "InitDll")), exit(FindExport(module, "ExitDll"))
{
}

bool CVst3ModuleEntry::Enter() const { return reinterpret_cast<bool (*)()>(enter)(); }
void CVst3ModuleEntry::Exit() const { reinterpret_cast<bool (*)()>(exit)(); }
const char16_t* CVst3ModuleEntry::EnterName() const { return u"InitDll"; }
const char16_t* CVst3ModuleEntry::ExitName() const { return u"ExitDll"; }
