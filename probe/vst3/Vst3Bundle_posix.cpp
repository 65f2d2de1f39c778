// A VST 3 module on Linux: always a bundle folder NAME.vst3 holding
// Contents/x86_64-linux/NAME.so; ModuleEntry gets the library's own handle.
#include "probe/vst3/Vst3Module.h"

const char16_t* const kBundleSeparators = u"/";

std::u16string BundleBinary(const std::u16string& bundleName)
{
    std::u16string stem = bundleName;
    if (stem.size() > 5 && stem.compare(stem.size() - 5, 5, u".vst3") == 0) stem.resize(stem.size() - 5);
    return u"Contents/x86_64-linux/" + stem + u".so";
}

CVst3ModuleEntry::CVst3ModuleEntry(PluginModule module)
    : module(module), enter(FindExport(module, "ModuleEntry")), exit(FindExport(module, "ModuleExit"))
{
}

bool CVst3ModuleEntry::Enter() const { return reinterpret_cast<bool (*)(void*)>(enter)(module); }
void CVst3ModuleEntry::Exit() const { reinterpret_cast<bool (*)()>(exit)(); }
const char16_t* CVst3ModuleEntry::EnterName() const { return u"ModuleEntry"; }
const char16_t* CVst3ModuleEntry::ExitName() const { return u"ModuleExit"; }
