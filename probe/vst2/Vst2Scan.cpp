#include "probe/vst2/Vst2Scan.h"

#include "probe/ProcessGuard.h"
#include "probe/vst2/GuardedCall.h"
#include "probe/vst2/HostCallback.h"
#include "probe/vst2/ProbeRules.h"
#include "probe/ProbeState.h"
#include "probe/VersionText.h"
#include "protocol/LogLine.h"
#include "report/Map.h"

namespace {

// The dispatcher is read from the record before every call: a plug-in may replace it.
intptr_t Dispatch(AEffect* effect, int32_t opcode, void* pointer = nullptr)
{
    return effect->dispatcher(effect, opcode, 0, 0, pointer, 0.0f);
}

bool CanDo(AEffect* effect, const char* capability)
{
    return CapabilityAnswerIsYes(Dispatch(effect, effCanDo, const_cast<char*>(capability)));
}

VstEntryPoint FindEntryPoint(PluginModule module)
{
    if (void* entry = FindExport(module, "VSTPluginMain")) {
        LogInfo(u"Found VSTPluginMain()\n");
        return reinterpret_cast<VstEntryPoint>(entry);
    }
    if (void* entry = FindExport(module, "main")) {
        LogInfo(u"Found main()\n");
        return reinterpret_cast<VstEntryPoint>(entry);
    }
    return nullptr;
}

void ListShellPlugins(AEffect* effect, CScanResult& result)
{
    CMap<int, bool, SValue, SValue, int> seenIds;
    for (;;) {
        // Room past the 512 bytes for plug-ins that overrun; the text is read from 512 at most.
        char name[kVstTextBufferSize + 512] = {};  // zeroed whole, as every text query's buffer
        const int32_t id = static_cast<int32_t>(Dispatch(effect, effShellGetNextPlugin, name));
        if (id == 0) break;
        const std::u16string text = TextFromPluginBuffer(name, kVstTextBufferSize);
        LogInfo(u"Found shell: %.8X - %s\n", static_cast<uint32_t>(id), text.c_str());
        if (seenIds.Lookup(id)) {
            LogInfo(u"   - duplicate, ignoring\n");
            continue;
        }
        seenIds.SetAt(id, true);
        auto* shell = new CShellInfo;
        shell->name = text;
        shell->id = id;
        result.shells.Add(shell);
    }
}

}  // namespace

bool ProbePlugin(PluginModule module, CScanResult& result)
{
    LogInfo(u"Looking for entry point in module %p\n", static_cast<void*>(module));
    if (FindExport(module, "JBridgeBootstrap")) {
        result.error = u"Module is a jBridge bootstrap, ignoring";
        return false;
    }
    const VstEntryPoint entryPoint = FindEntryPoint(module);
    if (entryPoint == nullptr) {
        result.error = u"Entry point not found, not a VST plugin";
        return false;
    }

    PluginWantsMidi = false;
    TakeProcessBack();
    LogInfo(u"Calling entry point...\n");
    AEffect* effect = entryPoint(HostCallback);
    TakeProcessBack();
    if (effect == nullptr) {
        result.error = u"Entry point returned NULL";
        return false;
    }
    if (effect->magic != kEffectMagic) {
        result.error = u"Bad magic";
        return false;
    }
    TakeProcessBack();

    result.synthEdit = HasSynthEditResource(module);
    result.name = VstTextQuery(effect, effGetEffectName);
    result.vendor = VstTextQuery(effect, effGetVendorString);
    result.product = VstTextQuery(effect, effGetProductString);
    result.id = effect->uniqueID;
    const int32_t categoryAnswer = static_cast<int32_t>(Dispatch(effect, effGetPlugCategory));
    result.numInputs = effect->numInputs;
    result.numOutputs = effect->numOutputs;
    result.wantsMidi = CanDo(effect, "receiveVstMidiEvent") || CanDo(effect, "receiveVstEvents") || PluginWantsMidi;
    result.sendsMidi = CanDo(effect, "sendVstMidiEvent") || CanDo(effect, "sendVstEvents");
    result.audio64 = (effect->flags & effFlagsCanDoubleReplacing) != 0;
    result.version = FormatVendorVersion(static_cast<int32_t>(Dispatch(effect, effGetVendorVersion)));
    result.category = CorrectCategory(categoryAnswer, effect->flags, effect->numInputs);
    if (result.category == kPlugCategShell) ListShellPlugins(effect, result);

    // A plug-in that faults while closing has told us all we asked: keep the report.
    LogInfo(u"Dispatching effClose...\n");
    DispatchGuarded(effect, effClose);
    TakeProcessBack();
    return true;
}
