#include "tests/plugins/Vst3Kit.h"

#include <cstring>

using namespace vst3;

namespace {

void Copy(char* target, size_t size, const char* text)
{
    std::strncpy(target, text ? text : "", size - 1);
    target[size - 1] = '\0';
}

void Copy16(char16_t* target, size_t size, const char* text)
{
    size_t i = 0;
    for (; text && text[i] && i + 1 < size; ++i) target[i] = static_cast<unsigned char>(text[i]);
    target[i] = u'\0';
}

class CZooComponent final : public IComponent {
public:
    CZooComponent(const CZooVst3Class& type, void (*onInitialize)()) : type(type), onInitialize(onInitialize) {}
    tresult VST3_METHOD queryInterface(const uint8_t* iid, void** object) override
    {
        const bool known = SameTuid(iid, kFUnknownId.data()) || SameTuid(iid, kPluginBaseId.data()) ||
                           SameTuid(iid, kComponentId.data());
        *object = known ? this : nullptr;
        if (known) addRef();
        return known ? kResultOk : kNoInterface;
    }
    uint32_t VST3_METHOD addRef() override { return ++references; }
    uint32_t VST3_METHOD release() override
    {
        const uint32_t left = --references;
        if (left == 0) delete this;
        return left;
    }
    tresult VST3_METHOD initialize(FUnknown* context) override
    {
        // A host context that is not one would be a host's fault: the scanner's must answer.
        void* host = nullptr;
        if (!context || context->queryInterface(kHostApplicationId.data(), &host) != kResultOk || !host)
            return kResultFalse;
        if (onInitialize) onInitialize();
        return kResultOk;
    }
    tresult VST3_METHOD terminate() override { return kResultOk; }
    tresult VST3_METHOD getControllerClassId(uint8_t*) override { return kNotImplemented; }
    tresult VST3_METHOD setIoMode(int32_t) override { return kResultOk; }
    int32_t VST3_METHOD getBusCount(int32_t mediaType, int32_t direction) override
    {
        if (mediaType == kEvent) return direction == kInput ? type.eventIn : type.eventOut;
        const bool exists = (direction == kInput ? type.inputs : type.outputs) != 0;
        if (exists && type.claimedBuses) return type.claimedBuses;
        return (exists ? 1 : 0) + (direction == kOutput ? type.auxOutputs : 0);
    }
    tresult VST3_METHOD getBusInfo(int32_t mediaType, int32_t direction, int32_t index, BusInfo* bus) override
    {
        const bool aux = mediaType == kAudio && direction == kOutput && index > 0 && index <= type.auxOutputs;
        if ((index != 0 && !aux) || getBusCount(mediaType, direction) == 0) return kResultFalse;
        *bus = BusInfo{};
        bus->mediaType = mediaType;
        bus->direction = direction;
        bus->channelCount = aux ? 2 : mediaType == kEvent ? 16 : direction == kInput ? type.inputs : type.outputs;
        bus->busType = aux ? kAux : kMain;
        const char* name = aux ? "Band" : direction == kInput ? "Main In" : "Main Out";
        for (size_t i = 0; name[i]; ++i) bus->name[i] = static_cast<char16_t>(name[i]);
        if (mediaType == kAudio && direction == kOutput && !aux && type.controlVoltage) bus->flags = kBusIsControlVoltage;
        return kResultOk;
    }
    tresult VST3_METHOD getRoutingInfo(void*, void*) override { return kNotImplemented; }
    tresult VST3_METHOD activateBus(int32_t, int32_t, int32_t, TBool) override { return kResultOk; }
    tresult VST3_METHOD setActive(TBool) override { return kResultOk; }
    tresult VST3_METHOD setState(FUnknown*) override { return kResultOk; }
    tresult VST3_METHOD getState(FUnknown*) override { return kResultOk; }

private:
    const CZooVst3Class& type;
    void (*onInitialize)();
    uint32_t references = 1;
};

// The fields every kind of class info starts with.
template <typename TInfo>
void FillCommon(TInfo& info, const CZooVst3Class& type)
{
    info = TInfo{};
    std::memcpy(info.cid, type.cid.data(), 16);
    info.cardinality = 0x7FFFFFFF;
    Copy(info.category, sizeof(info.category), type.category);
}

class CZooFactory final : public IPluginFactory3 {
public:
    explicit CZooFactory(const CZooVst3Module& module) : module(module) {}
    tresult VST3_METHOD queryInterface(const uint8_t* iid, void** object) override
    {
        const bool known = SameTuid(iid, kFUnknownId.data()) || SameTuid(iid, kPluginFactoryId.data()) ||
                           (module.factoryVersion >= 2 && SameTuid(iid, kPluginFactory2Id.data())) ||
                           (module.factoryVersion >= 3 && SameTuid(iid, kPluginFactory3Id.data()));
        *object = known ? this : nullptr;
        if (known) addRef();
        return known ? kResultOk : kNoInterface;
    }
    uint32_t VST3_METHOD addRef() override { return ++references; }
    uint32_t VST3_METHOD release() override { return --references; }
    tresult VST3_METHOD getFactoryInfo(PFactoryInfo* info) override
    {
        *info = PFactoryInfo{};
        Copy(info->vendor, sizeof(info->vendor), module.vendor);
        Copy(info->url, sizeof(info->url), "https://zoo.tessarine.example/");
        Copy(info->email, sizeof(info->email), "zoo@tessarine.example");
        return kResultOk;
    }
    int32_t VST3_METHOD countClasses() override { return module.claimedCount ? module.claimedCount : module.count; }
    tresult VST3_METHOD getClassInfo(int32_t index, PClassInfo* info) override
    {
        if (index < 0 || index >= module.count) return kResultFalse;
        const CZooVst3Class& type = module.classes[index];
        FillCommon(*info, type);
        Copy(info->name, sizeof(info->name), type.name);
        return kResultOk;
    }
    tresult VST3_METHOD createInstance(const uint8_t* cid, const uint8_t* iid, void** object) override
    {
        *object = nullptr;
        for (int32_t i = 0; i < module.count; ++i) {
            const CZooVst3Class& type = module.classes[i];
            if (!SameTuid(cid, type.cid.data()) || std::strcmp(type.category, kAudioModuleClass) != 0) continue;
            auto* component = new CZooComponent(type, module.onInitialize);
            const tresult found = component->queryInterface(iid, object);
            component->release();
            return found;
        }
        return kNoInterface;
    }
    tresult VST3_METHOD getClassInfo2(int32_t index, PClassInfo2* info) override
    {
        if (index < 0 || index >= module.count) return kResultFalse;
        const CZooVst3Class& type = module.classes[index];
        FillCommon(*info, type);
        Copy(info->name, sizeof(info->name), type.name);
        Copy(info->subCategories, sizeof(info->subCategories), type.subCategories);
        Copy(info->vendor, sizeof(info->vendor), "Zoo Class Vendor");
        Copy(info->version, sizeof(info->version), "1.0.0");
        Copy(info->sdkVersion, sizeof(info->sdkVersion), "VST 3.7.9");
        return kResultOk;
    }
    tresult VST3_METHOD getClassInfoUnicode(int32_t index, PClassInfoW* info) override
    {
        if (index < 0 || index >= module.count) return kResultFalse;
        const CZooVst3Class& type = module.classes[index];
        FillCommon(*info, type);
        Copy16(info->name, 64, type.name);
        Copy(info->subCategories, sizeof(info->subCategories), type.subCategories);
        Copy16(info->vendor, 64, "Zoo Unicode Vendor");
        Copy16(info->version, 64, "1.2.3");
        Copy16(info->sdkVersion, 64, "VST 3.7.9");
        return kResultOk;
    }
    tresult VST3_METHOD setHostContext(FUnknown*) override { return kResultOk; }

private:
    const CZooVst3Module& module;
    uint32_t references = 1;
};

}  // namespace

IPluginFactory* CreateZooFactory(const CZooVst3Module& module)
{
    static CZooFactory* factory = nullptr;
    if (!factory) factory = new CZooFactory(module);
    factory->addRef();
    return factory;
}
