// A module whose factory answers that it is an IPluginFactory3 with a pointer to nothing: the
// host's first call through it (setHostContext) faults in the host's own code.
#include <cstdint>

#include "tests/plugins/Vst3Kit.h"

using namespace vst3;

namespace {
const CZooVst3Class kClasses[] = {
    {MakeTuid(0x5A4F4F42, 0x41444633, 0x00000000, 0x00000001), kAudioModuleClass, "Bad Factory 3", "Fx", 2, 2, false, false},
};
const CZooVst3Module kModule{"Tessarine Test Zoo", 2, kClasses, 1};

struct CBadFactory final : IPluginFactory {
    IPluginFactory* real = CreateZooFactory(kModule);
    tresult VST3_METHOD queryInterface(const uint8_t* iid, void** object) override
    {
        if (SameTuid(iid, kPluginFactory3Id.data())) {
            *object = reinterpret_cast<void*>(static_cast<uintptr_t>(0x10));
            return kResultOk;
        }
        return real->queryInterface(iid, object);
    }
    uint32_t VST3_METHOD addRef() override { return 1; }
    uint32_t VST3_METHOD release() override { return 1; }
    tresult VST3_METHOD getFactoryInfo(PFactoryInfo* info) override { return real->getFactoryInfo(info); }
    int32_t VST3_METHOD countClasses() override { return real->countClasses(); }
    tresult VST3_METHOD getClassInfo(int32_t index, PClassInfo* info) override { return real->getClassInfo(index, info); }
    tresult VST3_METHOD createInstance(const uint8_t* cid, const uint8_t* iid, void** object) override
    {
        return real->createInstance(cid, iid, object);
    }
};
}  // namespace

ZOO_EXPORT IPluginFactory* VST3_METHOD GetPluginFactory()
{
    static CBadFactory factory;
    return &factory;
}
