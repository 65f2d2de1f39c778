#include "probe/clap/ClapScan.h"

#include <cstring>
#include <set>

#include "probe/LibraryLoading.h"
#include "probe/PluginCounts.h"
#include "probe/ProbeState.h"
#include "probe/PluginLibrary.h"
#include "probe/ProcessGuard.h"
#include "probe/clap/ClapAbi.h"
#include "probe/clap/ClapModule.h"
#include "protocol/Format.h"
#include "protocol/LogLine.h"
#include "protocol/Utf8.h"
#include "report/ModuleReport.h"

namespace {

using namespace clap;

std::u16string Features(const char* const* features)
{
    std::u16string joined;
    for (size_t i = 0; features && features[i] && i < 256 && joined.size() <= kLongestReportText; ++i)
        joined += (i ? u"|" : u"") + PluginText(features[i]);
    return joined;
}

// Every audio port of a direction, listed. Counts are unsigned.
void ReadPorts(const PluginAudioPorts* ports, const Plugin* plugin, bool input, CModuleClass& entry)
{
    const int64_t count = CountToRead(ports->count(plugin, input), kMostBuses,
                                      input ? u"audio input ports" : u"audio output ports", entry.note);
    for (int64_t i = 0; i < count; ++i) {
        AudioPortInfo info{};
        if (!ports->get(plugin, static_cast<uint32_t>(i), input, &info)) continue;
        CModuleBus port;
        port.name = PluginText(info.name, sizeof(info.name));
        port.input = input;
        port.main = (info.flags & kAudioPortIsMain) != 0;
        port.channels = ChannelCount(info.channelCount, FormatString(u"%s port %lld", input ? u"input" : u"output",
                                                                     static_cast<long long>(i)).c_str(), entry.note);
        entry.buses.push_back(std::move(port));
    }
}

// Ids are the plug-ins' keys: read whole up to a bound, then cut on a character boundary.
constexpr size_t kLongestId = 4096;

std::u16string PluginId(const char* text, std::u16string& note)
{
    size_t length = 0;
    while (length <= kLongestId && text[length] != '\0') ++length;
    if (length <= kLongestId) return PluginText(text, length);
    length = kLongestId;
    while (length > 0 && (static_cast<unsigned char>(text[length]) & 0xC0) == 0x80) --length;
    AddNote(note, FormatString(u"its id is longer than %u bytes; cut", static_cast<unsigned>(kLongestId)));
    return PluginText(text, length);
}

void ReadPlugin(const PluginFactory* factory, uint32_t index, CModuleClass& entry)
{
    entry.plugin = true;
    LogInfo(u"Calling get_plugin_descriptor for plug-in %u...\n", index);
    const PluginDescriptor* descriptor = factory->getPluginDescriptor(factory, index);
    TakeProcessBack();
    if (descriptor == nullptr) {
        entry.error = FormatString(u"no descriptor for plug-in %u", index);
        return;
    }
    if (descriptor->id == nullptr || descriptor->id[0] == '\0') {
        entry.name = PluginText(descriptor->name);
        entry.error = FormatString(u"plug-in %u has no id", index);
        return;
    }
    entry.id = PluginId(descriptor->id, entry.note);
    entry.name = PluginText(descriptor->name, kLongestReportText * 4);
    entry.vendor = PluginText(descriptor->vendor, kLongestReportText * 4);
    entry.url = PluginText(descriptor->url, kLongestReportText * 4);
    entry.version = PluginText(descriptor->version, kLongestReportText * 4);
    entry.description = PluginText(descriptor->description, kLongestReportText * 4);
    entry.category = Features(descriptor->features);

    LogInfo(u"Creating plug-in %s...\n", entry.id.c_str());
    const Plugin* plugin = factory->createPlugin(factory, &ClapHost, descriptor->id);
    TakeProcessBack();
    if (plugin == nullptr) {
        entry.error = u"create_plugin returned no plug-in";
        return;
    }
    LogInfo(u"Calling init...\n");
    const bool initialized = plugin->init(plugin);
    TakeProcessBack();
    if (!initialized) {
        entry.error = u"its init returned false";
    } else {
        LogInfo(u"Calling get_extension...\n");
        if (auto audio = static_cast<const PluginAudioPorts*>(plugin->getExtension(plugin, kAudioPortsId))) {
            ReadPorts(audio, plugin, true, entry);
            ReadPorts(audio, plugin, false, entry);
            entry.numInputs = MainChannels(entry.buses, true);
            entry.numOutputs = MainChannels(entry.buses, false);
        }
        if (auto notes = static_cast<const PluginNotePorts*>(plugin->getExtension(plugin, kNotePortsId))) {
            entry.wantsMidi = notes->count(plugin, true) > 0;
            entry.sendsMidi = notes->count(plugin, false) > 0;
        }
        TakeProcessBack();
    }
    LogInfo(u"Calling destroy...\n");
    plugin->destroy(plugin);
    TakeProcessBack();
}

bool ScanFactory(const PluginFactory* factory, CModuleResult& result)
{
    LogInfo(u"Calling get_plugin_count...\n");
    const uint32_t claimed = factory->getPluginCount(factory);
    TakeProcessBack();
    LogInfo(u"Factory lists %u plug-ins\n", claimed);
    if (claimed == 0) {
        result.error = u"the plug-in factory holds no plug-ins";
        return false;
    }
    const int64_t count = CountToRead(claimed, kMostClasses, u"plug-ins", result.notes);
    int read = 0;
    std::set<std::u16string> ids;
    for (int64_t index = 0; index < count; ++index) {
        CModuleClass entry;
        ReadPlugin(factory, static_cast<uint32_t>(index), entry);
        if (!entry.id.empty() && !ids.insert(entry.id).second) {
            AddNote(entry.note, u"its id is listed before");
        }
        read += entry.error.empty();
        ReportModuleClass(result, std::move(entry));
    }
    if (read == 0) result.error = u"none of its plug-ins could be read: " + result.classes.front().error;
    return read > 0;
}

}  // namespace

bool ScanClapFile(const std::u16string& path, CModuleResult& result)
{
    result.format = u"clap";
    PluginModule module = LoadPluginLibrary(path, result.error);
    if (module == nullptr) return false;

    bool scanned = false;
    if (const PluginEntry* entry = FindClapEntry(module, result.version, result.error)) {
        LogInfo(u"Calling clap_entry.init...\n");
        const bool initialized = entry->init(SystemPath(path).c_str());
        TakeProcessBack();
        if (!initialized) {
            result.error = u"clap_entry.init returned false";
        } else {
            LogInfo(u"Calling get_factory...\n");
            const auto* factory = static_cast<const PluginFactory*>(entry->getFactory(kPluginFactoryId));
            TakeProcessBack();
            if (factory == nullptr) result.error = u"no plug-in factory (clap.plugin-factory)";
            else scanned = ScanFactory(factory, result);
            LogInfo(u"Calling clap_entry.deinit...\n");
            entry->deinit();
            TakeProcessBack();
        }
    }
    FreePluginLibrary(module);
    return scanned;
}
