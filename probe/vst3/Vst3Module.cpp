#include "probe/vst3/Vst3Module.h"

#include "probe/vst3/Vst3Messages.h"

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

GetFactoryFunction FindGetPluginFactory(PluginModule module)
{
    for (const char* name : {"GetPluginFactory", "GetPluginFactory@0", "_GetPluginFactory@0"})
        if (void* found = FindExport(module, name)) return reinterpret_cast<GetFactoryFunction>(found);
    return nullptr;
}
