#include "probe/vst3/Vst3Module.h"

#include "probe/vst3/Vst3Messages.h"

#include "protocol/Format.h"
#include "protocol/Platform.h"

using namespace vst3;

namespace {

const wchar_t* Wide(const std::u16string& text) { return reinterpret_cast<const wchar_t*>(text.c_str()); }

}  // namespace

CHostContext Vst3HostContext;

tresult VST3_METHOD CHostContext::queryInterface(const uint8_t* iid, void** object)
{
    const bool known = SameTuid(iid, kFUnknownId.data()) || SameTuid(iid, kHostApplicationId.data());
    *object = known ? this : nullptr;
    return known ? kResultOk : kNoInterface;
}

tresult VST3_METHOD CHostContext::getName(char16_t* name)
{
    const std::u16string ours = u"Tessarine Plugin Scan Server";
    for (size_t i = 0; i <= ours.size(); ++i) name[i] = i < ours.size() ? ours[i] : u'\0';
    return kResultOk;
}

tresult VST3_METHOD CHostContext::createInstance(uint8_t* cid, uint8_t* iid, void** object)
{
    if (object == nullptr) return kInvalidArgument;
    *object = CreateHostMessageObject(cid, iid);
    return *object ? kResultOk : kNoInterface;
}

bool ResolveModule(const std::u16string& path, std::u16string& binary, std::u16string& error)
{
    const DWORD attributes = GetFileAttributesW(Wide(path));
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        binary = path;
        return true;
    }
    std::u16string folder = path;
    while (!folder.empty() && (folder.back() == u'\\' || folder.back() == u'/')) folder.pop_back();
    const std::u16string name = folder.substr(folder.find_last_of(u"\\/") + 1);
    const std::u16string machine = sizeof(void*) == 8 ? u"x86_64-win" : u"x86-win";
    const std::u16string inside = u"Contents\\" + machine + u"\\" + name;
    binary = folder + u"\\" + inside;
    if (GetFileAttributesW(Wide(binary)) != INVALID_FILE_ATTRIBUTES) return true;
    error = FormatString(u"the bundle has no binary for %s (%s)", kPlatformName, inside.c_str());
    return false;
}

GetFactoryFunction FindGetPluginFactory(HMODULE module)
{
    for (const char* name : {"GetPluginFactory", "GetPluginFactory@0", "_GetPluginFactory@0"})
        if (FARPROC found = GetProcAddress(module, name)) return reinterpret_cast<GetFactoryFunction>(reinterpret_cast<void*>(found));
    return nullptr;
}
