#include "probe/vst3/Vst3Scan.h"

#include <cstring>
#include <set>

#include "probe/LibraryLoading.h"
#include "probe/PluginCounts.h"
#include "probe/ProbeState.h"
#include "probe/ProcessGuard.h"
#include "probe/vst3/Vst3Abi.h"
#include "probe/vst3/Vst3Module.h"
#include "protocol/Format.h"
#include "protocol/LogLine.h"
#include "protocol/Platform.h"
#include "report/ModuleReport.h"

namespace {

using namespace vst3;

// False, with the entry's error, when the factory gives no information on the class.
bool ReadClassInfo(IPluginFactory* factory, IPluginFactory2* factory2, IPluginFactory3* factory3, int32_t index,
                   CModuleClass& entry, uint8_t* cid)
{
    PClassInfoW unicode{};
    PClassInfo2 info2{};
    PClassInfo info{};
    LogInfo(u"Calling getClassInfo for class %i...\n", index);
    bool read = true;
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
        read = false;
    }
    TakeProcessBack();
    // A class the factory says nothing of has no id either: it is listed with its error.
    if (read) entry.id = TuidText(cid);
    return read;
}

// Every audio bus of a direction, listed.
void ReadBuses(IComponent* component, int32_t direction, CModuleClass& entry)
{
    const bool input = direction == kInput;
    const int64_t count = CountToRead(component->getBusCount(kAudio, direction), kMostBuses,
                                      input ? u"audio input buses" : u"audio output buses", entry.note);
    for (int64_t i = 0; i < count; ++i) {
        BusInfo info{};
        if (component->getBusInfo(kAudio, direction, static_cast<int32_t>(i), &info) != kResultOk) continue;
        CModuleBus bus;
        bus.name = PluginText16(info.name, 128);
        bus.input = input;
        bus.main = info.busType == kMain;
        bus.controlVoltage = (info.flags & kBusIsControlVoltage) != 0;
        bus.channels = ChannelCount(info.channelCount, FormatString(u"%s bus %lld", input ? u"input" : u"output",
                                                                    static_cast<long long>(i)).c_str(), entry.note);
        entry.buses.push_back(std::move(bus));
    }
}

void ReadComponent(IPluginFactory* factory, const uint8_t* cid, CModuleClass& entry)
{
    LogInfo(u"Creating component %s...\n", entry.id.c_str());
    void* created = nullptr;
    const tresult made = factory->createInstance(cid, kComponentId.data(), &created);
    TakeProcessBack();
    if (made != kResultOk || created == nullptr) {
        entry.error = FormatString(u"createInstance gave no component (result 0x%.8X)", static_cast<uint32_t>(made));
        return;
    }
    auto* component = static_cast<IComponent*>(created);
    LogInfo(u"Calling initialize...\n");
    const tresult initialized = component->initialize(&Vst3HostContext);
    TakeProcessBack();
    if (initialized != kResultOk) {
        entry.error = FormatString(u"initialize failed (result 0x%.8X)", static_cast<uint32_t>(initialized));
    } else {
        LogInfo(u"Calling getBusInfo...\n");
        ReadBuses(component, kInput, entry);
        ReadBuses(component, kOutput, entry);
        entry.numInputs = MainChannels(entry.buses, true);
        entry.numOutputs = MainChannels(entry.buses, false);
        entry.wantsMidi = component->getBusCount(kEvent, kInput) > 0;
        entry.sendsMidi = component->getBusCount(kEvent, kOutput) > 0;
        TakeProcessBack();
        LogInfo(u"Calling terminate...\n");
        component->terminate();
        TakeProcessBack();
    }
    LogInfo(u"Calling release...\n");
    component->release();
    TakeProcessBack();
}

bool ScanFactory(IPluginFactory* factory, CModuleResult& result)
{
    LogInfo(u"Calling queryInterface...\n");
    IPluginFactory2* factory2 = Query<IPluginFactory2>(factory, kPluginFactory2Id);
    IPluginFactory3* factory3 = Query<IPluginFactory3>(factory, kPluginFactory3Id);
    if (factory3) {
        LogInfo(u"Calling setHostContext...\n");
        factory3->setHostContext(&Vst3HostContext);
        TakeProcessBack();
    }
    LogInfo(u"Calling getFactoryInfo...\n");
    PFactoryInfo info{};
    if (factory->getFactoryInfo(&info) == kResultOk) {
        result.vendor = PluginText(info.vendor, sizeof(info.vendor));
        result.url = PluginText(info.url, sizeof(info.url));
        result.email = PluginText(info.email, sizeof(info.email));
    }
    LogInfo(u"Calling countClasses...\n");
    const int32_t claimed = factory->countClasses();
    TakeProcessBack();
    LogInfo(u"Factory of %s lists %i classes\n", result.vendor.c_str(), claimed);
    const int64_t count = CountToRead(claimed, kMostClasses, u"classes", result.notes);
    int32_t plugins = 0, read = 0;
    std::set<std::u16string> ids;
    for (int32_t index = 0; index < count; ++index) {
        CModuleClass entry;
        uint8_t cid[16] = {};
        const bool described = ReadClassInfo(factory, factory2, factory3, index, entry, cid);
        // A module whose factory gives no vendor per class speaks for all of them.
        if (entry.vendor.empty()) entry.vendor = result.vendor;
        entry.plugin = entry.category == PluginText(kAudioModuleClass);
        if (described && !ids.insert(entry.id).second) AddNote(entry.note, u"its class id is listed before");
        if (entry.plugin) {
            ++plugins;
            if (entry.error.empty()) ReadComponent(factory, cid, entry);
            read += entry.error.empty();
        }
        ReportModuleClass(result, std::move(entry));
    }
    LogInfo(u"Calling release...\n");
    if (factory3) factory3->release();
    if (factory2) factory2->release();
    TakeProcessBack();
    if (plugins == 0) {
        result.error = FormatString(u"the module has no audio module classes (%i other)", static_cast<int32_t>(result.classes.size()));
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
    PluginModule module = LoadPluginLibrary(binary, result.error);
    if (module == nullptr) return false;

    const CVst3ModuleEntry entry(module);
    GetFactoryFunction getFactory = FindGetPluginFactory(module);
    bool scanned = false;
    bool initialized = true;
    if (getFactory == nullptr) {
        result.error = u"no GetPluginFactory: the file is not a VST 3 module";
    } else {
        if (entry.HasEnter()) {
            LogInfo(u"Calling %s...\n", entry.EnterName());
            initialized = entry.Enter();
            TakeProcessBack();
        }
        // A module that refuses to start is asked nothing more, its exit included.
        if (!initialized) {
            result.error = FormatString(u"%s failed", entry.EnterName());
        } else {
            LogInfo(u"Calling GetPluginFactory...\n");
            IPluginFactory* factory = getFactory();
            TakeProcessBack();
            if (factory == nullptr) {
                result.error = u"GetPluginFactory returned no factory";
            } else {
                scanned = ScanFactory(factory, result);
                LogInfo(u"Calling release of the factory...\n");
                factory->release();
                TakeProcessBack();
            }
            // After every object gotten from the module is released.
            if (entry.HasExit()) {
                LogInfo(u"Calling %s...\n", entry.ExitName());
                entry.Exit();
                TakeProcessBack();
            }
        }
    }
    FreePluginLibrary(module);
    return scanned;
}
