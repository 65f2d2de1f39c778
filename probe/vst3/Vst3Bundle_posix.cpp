// A VST 3 module on Linux: always a bundle folder NAME.vst3 holding
// Contents/x86_64-linux/NAME.so; ModuleEntry gets the library's own handle.
#include "probe/vst3/Vst3Module.h"

#include "protocol/Format.h"
#include "protocol/Platform.h"

bool ResolveModule(const std::u16string& path, std::u16string& binary, std::u16string& error)
{
    if (!IsFolder(path)) {
        // A bare library named .vst3: loaded as it is, as some hosts do.
        binary = path;
        return true;
    }
    std::u16string folder = path;
    while (!folder.empty() && folder.back() == u'/') folder.pop_back();
    std::u16string name = folder.substr(folder.find_last_of(u'/') + 1);
    if (name.size() > 5 && name.compare(name.size() - 5, 5, u".vst3") == 0) name.resize(name.size() - 5);
    const std::u16string inside = u"Contents/x86_64-linux/" + name + u".so";
    binary = folder + u"/" + inside;
    if (PathExists(binary)) return true;
    error = FormatString(u"the bundle has no binary for %s (%s)", kPlatformName, inside.c_str());
    return false;
}

CVst3ModuleEntry::CVst3ModuleEntry(PluginModule module)
    : module(module), enter(FindExport(module, "ModuleEntry")), exit(FindExport(module, "ModuleExit"))
{
}

bool CVst3ModuleEntry::Enter() const { return reinterpret_cast<bool (*)(void*)>(enter)(module); }
void CVst3ModuleEntry::Exit() const { reinterpret_cast<bool (*)()>(exit)(); }
const char16_t* CVst3ModuleEntry::EnterName() const { return u"ModuleEntry"; }
const char16_t* CVst3ModuleEntry::ExitName() const { return u"ModuleExit"; }
