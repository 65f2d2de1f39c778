#pragma once
// What the scan and the check of a VST 3 module share: the host context, the way to a bundle's
// binary and to the factory, and asking an object for another of its interfaces.
#include <string>

#include "probe/PluginLibrary.h"
#include "probe/ProbeState.h"
#include "probe/ProcessGuard.h"
#include "probe/vst3/Vst3Abi.h"

// The host context a component gets in initialize: our name, and the messages a component and
// its controller send each other.
class CHostContext : public vst3::IHostApplication {
public:
    vst3::tresult VST3_METHOD queryInterface(const uint8_t* iid, void** object) override;
    uint32_t VST3_METHOD addRef() override { return 1; }
    uint32_t VST3_METHOD release() override { return 1; }
    vst3::tresult VST3_METHOD getName(char16_t* name) override;
    vst3::tresult VST3_METHOD createInstance(uint8_t* cid, uint8_t* iid, void** object) override;
};
extern CHostContext Vst3HostContext;

// A bundle folder holds one binary per machine; this server loads its own machine's. A path
// that is no folder is the binary itself.
bool ResolveModule(const std::u16string& path, std::u16string& binary, std::u16string& error);
// Where this platform's binary is in a bundle folder of that name, and what ends a folder's name.
std::u16string BundleBinary(const std::u16string& bundleName);
extern const char16_t* const kBundleSeparators;

// 32-bit modules built without a .def file export the __stdcall name only.
vst3::GetFactoryFunction FindGetPluginFactory(PluginModule module);

// The module's own start and end around everything asked of its factory, each optional:
// InitDll and ExitDll on Windows, ModuleEntry(handle) and ModuleExit on Linux.
class CVst3ModuleEntry {
public:
    explicit CVst3ModuleEntry(PluginModule module);
    bool HasEnter() const { return enter != nullptr; }
    bool HasExit() const { return exit != nullptr; }
    bool Enter() const;
    void Exit() const;
    // As the trace and the errors name them.
    const char16_t* EnterName() const;
    const char16_t* ExitName() const;

private:
    PluginModule module;
    void* enter;
    void* exit;
};

// Asks for another interface of the object; nothing when it has none.
template <typename T>
T* Query(vst3::FUnknown* object, const CTuid& iid)
{
    void* found = nullptr;
    if (object == nullptr || object->queryInterface(iid.data(), &found) != vst3::kResultOk) found = nullptr;
    TakeProcessBack();
    return static_cast<T*>(found);
}
