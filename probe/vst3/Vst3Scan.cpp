#include "probe/vst3/Vst3Scan.h"

#include <windows.h>

#include <cstring>

#include "probe/LibraryLoading.h"
#include "probe/ProbeState.h"
#include "probe/vst3/Vst3Abi.h"
#include "protocol/Format.h"
#include "protocol/LogLine.h"
#include "protocol/Platform.h"

namespace {

using namespace vst3;

const wchar_t* Wide(const std::u16string& text) { return reinterpret_cast<const wchar_t*>(text.c_str()); }

// The host context a component gets in initialize: our name, and nothing to create.
class CHostContext : public IHostApplication {
public:
    tresult VST3_METHOD queryInterface(const uint8_t* iid, void** object) override
    {
        const bool known = SameTuid(iid, kFUnknownId.data()) || SameTuid(iid, kHostApplicationId.data());
        *object = known ? this : nullptr;
        return known ? kResultOk : kNoInterface;
    }
    uint32_t VST3_METHOD addRef() override { return 1; }
    uint32_t VST3_METHOD release() override { return 1; }
    tresult VST3_METHOD getName(char16_t* name) override
    {
        const std::u16string ours = u"Tessarine Plugin Scan Server";
        for (size_t i = 0; i <= ours.size(); ++i) name[i] = i < ours.size() ? ours[i] : u'\0';
        return kResultOk;
    }
    tresult VST3_METHOD createInstance(uint8_t*, uint8_t*, void** object) override
    {
        *object = nullptr;
        return kNoInterface;
    }
};

CHostContext HostContext;

// A bundle folder holds one binary per machine; this server loads its own machine's.
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

// Asks for another interface of the object; nothing when it has none.
template <typename T>
T* Query(FUnknown* object, const CTuid& iid)
{
    void* found = nullptr;
    if (object->queryInterface(iid.data(), &found) != kResultOk) found = nullptr;
    ProbeHooks.restoreCrashFilter();
    return static_cast<T*>(found);
}

void ReadClassInfo(IPluginFactory* factory, IPluginFactory2* factory2, IPluginFactory3* factory3, int32_t index,
                   CModuleClass& entry, uint8_t* cid)
{
    PClassInfoW unicode{};
    PClassInfo2 info2{};
    PClassInfo info{};
    if (factory3 && factory3->getClassInfoUnicode(index, &unicode) == kResultOk) {
        std::memcpy(cid, unicode.cid, 16);
        entry.cardinality = unicode.cardinality;
        entry.category = PluginText(unicode.category, sizeof(unicode.category));
        entry.name = PluginText16(unicode.name, 64);
        entry.subCategories = PluginText(unicode.subCategories, sizeof(unicode.subCategories));
        entry.vendor = PluginText16(unicode.vendor, 64);
        entry.version = PluginText16(unicode.version, 64);
        entry.sdkVersion = PluginText16(unicode.sdkVersion, 64);
    } else if (factory2 && factory2->getClassInfo2(index, &info2) == kResultOk) {
        std::memcpy(cid, info2.cid, 16);
        entry.cardinality = info2.cardinality;
        entry.category = PluginText(info2.category, sizeof(info2.category));
        entry.name = PluginText(info2.name, sizeof(info2.name));
        entry.subCategories = PluginText(info2.subCategories, sizeof(info2.subCategories));
        entry.vendor = PluginText(info2.vendor, sizeof(info2.vendor));
        entry.version = PluginText(info2.version, sizeof(info2.version));
        entry.sdkVersion = PluginText(info2.sdkVersion, sizeof(info2.sdkVersion));
    } else if (factory->getClassInfo(index, &info) == kResultOk) {
        std::memcpy(cid, info.cid, 16);
        entry.cardinality = info.cardinality;
        entry.category = PluginText(info.category, sizeof(info.category));
        entry.name = PluginText(info.name, sizeof(info.name));
    } else {
        entry.error = FormatString(u"no class info for class %i", index);
    }
    ProbeHooks.restoreCrashFilter();
    entry.id = TuidText(cid);
}

// The main bus of a kind and direction: its channels; any bus of events: MIDI.
int32_t MainChannels(IComponent* component, int32_t direction)
{
    const int32_t count = component->getBusCount(kAudio, direction);
    for (int32_t i = 0; i < count; ++i) {
        BusInfo bus{};
        if (component->getBusInfo(kAudio, direction, i, &bus) == kResultOk && bus.busType == kMain) return bus.channelCount;
    }
    return 0;
}

void ReadComponent(IPluginFactory* factory, const uint8_t* cid, CModuleClass& entry)
{
    LogInfo(u"Creating component %s...\n", entry.id.c_str());
    void* created = nullptr;
    const tresult made = factory->createInstance(cid, kComponentId.data(), &created);
    ProbeHooks.restoreCrashFilter();
    if (made != kResultOk || created == nullptr) {
        entry.error = FormatString(u"createInstance gave no component (result 0x%.8X)", static_cast<uint32_t>(made));
        return;
    }
    auto* component = static_cast<IComponent*>(created);
    LogInfo(u"Calling initialize...\n");
    const tresult initialized = component->initialize(&HostContext);
    ProbeHooks.restoreCrashFilter();
    if (initialized != kResultOk) {
        entry.error = FormatString(u"initialize failed (result 0x%.8X)", static_cast<uint32_t>(initialized));
    } else {
        entry.numInputs = MainChannels(component, kInput);
        entry.numOutputs = MainChannels(component, kOutput);
        entry.wantsMidi = component->getBusCount(kEvent, kInput) > 0;
        entry.sendsMidi = component->getBusCount(kEvent, kOutput) > 0;
        LogInfo(u"Calling terminate...\n");
        component->terminate();
    }
    component->release();
    ProbeHooks.restoreCrashFilter();
}

bool ScanFactory(IPluginFactory* factory, CModuleResult& result)
{
    IPluginFactory2* factory2 = Query<IPluginFactory2>(factory, kPluginFactory2Id);
    IPluginFactory3* factory3 = Query<IPluginFactory3>(factory, kPluginFactory3Id);
    if (factory3) {
        factory3->setHostContext(&HostContext);
        ProbeHooks.restoreCrashFilter();
    }
    PFactoryInfo info{};
    if (factory->getFactoryInfo(&info) == kResultOk) {
        result.vendor = PluginText(info.vendor, sizeof(info.vendor));
        result.url = PluginText(info.url, sizeof(info.url));
        result.email = PluginText(info.email, sizeof(info.email));
    }
    const int32_t count = factory->countClasses();
    ProbeHooks.restoreCrashFilter();
    LogInfo(u"Factory of %s lists %i classes\n", result.vendor.c_str(), count);
    int32_t plugins = 0, read = 0;
    for (int32_t index = 0; index < count && index < 4096; ++index) {
        CModuleClass entry;
        uint8_t cid[16] = {};
        ReadClassInfo(factory, factory2, factory3, index, entry, cid);
        // A module whose factory gives no vendor per class speaks for all of them.
        if (entry.vendor.empty()) entry.vendor = result.vendor;
        entry.plugin = entry.category == PluginText(kAudioModuleClass);
        if (entry.plugin) {
            ++plugins;
            if (entry.error.empty()) ReadComponent(factory, cid, entry);
            read += entry.error.empty();
        }
        result.classes.push_back(std::move(entry));
    }
    if (factory3) factory3->release();
    if (factory2) factory2->release();
    if (plugins == 0) {
        result.error = FormatString(u"the module has no audio module classes (%i other)", count);
        return false;
    }
    if (read > 0) return true;
    for (const auto& entry : result.classes)
        if (entry.plugin) {
            result.error = u"none of its audio module classes could be read: " + entry.error;
            break;
        }
    return false;
}

}  // namespace

bool ScanVst3Module(const std::u16string& path, CModuleResult& result)
{
    result.format = u"vst3";
    std::u16string binary;
    if (!ResolveModule(path, binary, result.error)) return false;
    HMODULE module = LoadPluginLibrary(binary, result.error);
    if (module == nullptr) return false;

    auto initDll = reinterpret_cast<InitDllFunction>(reinterpret_cast<void*>(GetProcAddress(module, "InitDll")));
    auto exitDll = reinterpret_cast<ExitDllFunction>(reinterpret_cast<void*>(GetProcAddress(module, "ExitDll")));
    auto getFactory = reinterpret_cast<GetFactoryFunction>(reinterpret_cast<void*>(GetProcAddress(module, "GetPluginFactory")));
    bool scanned = false;
    if (getFactory == nullptr) {
        result.error = u"no GetPluginFactory: the file is not a VST 3 module";
    } else {
        if (initDll) {
            LogInfo(u"Calling InitDll...\n");
            initDll();
            ProbeHooks.restoreCrashFilter();
        }
        LogInfo(u"Calling GetPluginFactory...\n");
        IPluginFactory* factory = getFactory();
        ProbeHooks.restoreCrashFilter();
        if (factory == nullptr) {
            result.error = u"GetPluginFactory returned no factory";
        } else {
            scanned = ScanFactory(factory, result);
            factory->release();
            ProbeHooks.restoreCrashFilter();
        }
        // After every object gotten from the module is released.
        if (exitDll) {
            LogInfo(u"Calling ExitDll...\n");
            exitDll();
            ProbeHooks.restoreCrashFilter();
        }
    }
    FreePluginLibrary(module);
    return scanned;
}
