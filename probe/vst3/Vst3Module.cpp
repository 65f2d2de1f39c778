#include "probe/vst3/Vst3Module.h"

#include "probe/vst3/Vst3Messages.h"
#include "protocol/Format.h"
#include "protocol/Platform.h"

using namespace vst3;

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
    if (!IsFolder(path)) {
        binary = path;
        return true;
    }
    std::u16string folder = path;
    while (!folder.empty() && std::u16string_view(kBundleSeparators).find(folder.back()) != std::u16string_view::npos)
        folder.pop_back();
    const size_t separator = folder.find_last_of(kBundleSeparators);
    const std::u16string inside = BundleBinary(folder.substr(separator == std::u16string::npos ? 0 : separator + 1));
    binary = folder + kBundleSeparators[0] + inside;
    if (PathExists(binary)) return true;
    error = FormatString(u"the bundle has no binary for %s (%s)", kPlatformName, inside.c_str());
    return false;
}

GetFactoryFunction FindGetPluginFactory(PluginModule module)
{
    for (const char* name : {"GetPluginFactory", "GetPluginFactory@0", "_GetPluginFactory@0"})
        if (void* found = FindExport(module, name)) return reinterpret_cast<GetFactoryFunction>(found);
    return nullptr;
}
