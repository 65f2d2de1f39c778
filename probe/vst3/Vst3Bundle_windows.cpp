// A VST 3 module on Windows: NAME.vst3 is the DLL itself or a bundle folder holding
// Contents\<machine>-win\NAME.vst3; InitDll and ExitDll take nothing.
#include "probe/vst3/Vst3Module.h"

#include "protocol/Format.h"
#include "protocol/Platform.h"

bool ResolveModule(const std::u16string& path, std::u16string& binary, std::u16string& error)
{
    if (!IsFolder(path)) {
        binary = path;
        return true;
    }
    std::u16string folder = path;
    while (!folder.empty() && (folder.back() == u'\\' || folder.back() == u'/')) folder.pop_back();
    const std::u16string name = folder.substr(folder.find_last_of(u"\\/") + 1);
    const std::u16string machine = sizeof(void*) == 8 ? u"x86_64-win" : u"x86-win";
    const std::u16string inside = u"Contents\\" + machine + u"\\" + name;
    binary = folder + u"\\" + inside;
    if (PathExists(binary)) return true;
    error = FormatString(u"the bundle has no binary for %s (%s)", kPlatformName, inside.c_str());
    return false;
}

CVst3ModuleEntry::CVst3ModuleEntry(PluginModule module)
    : module(module), enter(FindExport(module, "InitDll")), exit(FindExport(module, "ExitDll"))
{
}

bool CVst3ModuleEntry::Enter() const { return reinterpret_cast<bool (*)()>(enter)(); }
void CVst3ModuleEntry::Exit() const { reinterpret_cast<bool (*)()>(exit)(); }
const char16_t* CVst3ModuleEntry::EnterName() const { return u"InitDll"; }
const char16_t* CVst3ModuleEntry::ExitName() const { return u"ExitDll"; }
