#include "probe/vst3/Vst3Check.h"

#include <algorithm>
#include <atomic>
#include <cstring>

#include "probe/CheckDriver.h"
#include "probe/LibraryLoading.h"
#include "probe/ProcessGuard.h"
#include "probe/ProcessTimer.h"
#include "probe/vst3/Vst3HostObjects.h"
#include "probe/vst3/Vst3Module.h"
#include "probe/EditorWindow.h"
#include "protocol/Format.h"
#include "protocol/LogLine.h"

using namespace vst3;

namespace {

constexpr int16_t kMiddleC = 60;

std::u16string Result(const char16_t* call, tresult result)
{
    return FormatString(u"%s failed (result 0x%.8X)", call, static_cast<uint32_t>(result));
}

// A component and its controller, one object or two, driven in the order hosts use.
class CVst3Plugin : public CCheckedPlugin {
public:
    CVst3Plugin(IPluginFactory* factory, const uint8_t* cid) : factory(factory) { std::memcpy(classId, cid, 16); }

    bool Open(std::u16string& error) override
    {
        LogInfo(u"Creating component...\n");
        void* created = nullptr;
        const tresult made = factory->createInstance(classId, kComponentId.data(), &created);
        if (made != kResultOk || created == nullptr) {
            error = Result(u"createInstance", made);
            return false;
        }
        component = static_cast<IComponent*>(created);
        LogInfo(u"Calling initialize...\n");
        if (const tresult done = component->initialize(&Vst3HostContext); done != kResultOk) {
            error = Result(u"initialize", done);
            return false;
        }
        componentInitialized = true;
        LogInfo(u"Calling queryInterface for the audio processor...\n");
        processor = Query<IAudioProcessor>(component, kAudioProcessorId);
        if (processor == nullptr) {
            error = u"the component has no audio processor (IAudioProcessor)";
            return false;
        }
        return OpenController(error);
    }
    CPluginLayout Layout() override
    {
        CPluginLayout layout;
        for (int32_t direction : {kInput, kOutput}) {
            // One more than the check runs, so that it can say the plug-in claims too many.
            const int32_t count = std::min(component->getBusCount(kAudio, direction), 65);
            for (int32_t i = 0; i < count; ++i) {
                BusInfo info{};
                component->getBusInfo(kAudio, direction, i, &info);
                (direction == kInput ? layout.inputs : layout.outputs).push_back(info.channelCount);
            }
        }
        eventInputs = component->getBusCount(kEvent, kInput);
        eventOutputs = component->getBusCount(kEvent, kOutput);
        layout.takesNotes = eventInputs > 0;
        layout.sendsNotes = eventOutputs > 0;
        layout.instrument = layout.takesNotes && layout.inputs.empty() && !layout.outputs.empty();
        layout.audio64 = processor->canProcessSampleSize(kSample64) == kResultOk;
        // Whether there is an editor only createView tells, and that is the editor stage's call:
        // a controller may have one.
        layout.editor = controller != nullptr;
        inputs = layout.inputs;
        outputs = layout.outputs;
        if (arrangements[0].empty() && arrangements[1].empty())
            for (int32_t direction : {kInput, kOutput})
                for (size_t i = 0; i < (direction == kInput ? inputs : outputs).size(); ++i) {
                    uint64_t arrangement = 0;
                    processor->getBusArrangement(direction, static_cast<int32_t>(i), &arrangement);
                    arrangements[direction].push_back(arrangement);
                }
        return layout;
    }
    // The main buses mono and stereo, the others as they are.
    std::vector<CBusLayout> BusLayouts() override
    {
        std::vector<CBusLayout> layouts;
        const std::u16string kinds[] = {u"", u"mono", u"stereo"};
        for (int32_t in : {1, 2})
            for (int32_t out : {1, 2}) {
                if ((inputs.empty() && in == 2) || (outputs.empty() && out == 2)) continue;
                CBusLayout layout;
                layout.mainIn = inputs.empty() ? 0 : in;
                layout.mainOut = outputs.empty() ? 0 : out;
                if (layout.mainIn > 0) layout.name = kinds[in] + u" in";
                if (layout.mainOut > 0) layout.name += (layout.name.empty() ? u"" : u", ") + kinds[out] + u" out";
                if (!layout.name.empty()) layouts.push_back(layout);
            }
        return layouts;
    }
    bool OfferLayout(const CBusLayout& offered, CPluginLayout& layout) override
    {
        std::vector<uint64_t> ins = arrangements[kInput], outs = arrangements[kOutput];
        if (offered.mainIn > 0 && !ins.empty()) ins[0] = offered.mainIn == 1 ? kSpeakerMono : kSpeakerStereo;
        if (offered.mainOut > 0 && !outs.empty()) outs[0] = offered.mainOut == 1 ? kSpeakerMono : kSpeakerStereo;
        LogInfo(u"Calling setBusArrangements...\n");
        if (processor->setBusArrangements(ins.data(), static_cast<int32_t>(ins.size()), outs.data(), static_cast<int32_t>(outs.size())) != kResultOk)
            return false;
        ReadChannels();
        layout.inputs = inputs;
        layout.outputs = outputs;
        return true;
    }
    void RestoreLayout() override
    {
        std::vector<uint64_t> ins = arrangements[kInput], outs = arrangements[kOutput];
        processor->setBusArrangements(ins.data(), static_cast<int32_t>(ins.size()), outs.data(), static_cast<int32_t>(outs.size()));
        ReadChannels();
    }
    bool SwitchAuxiliaryBuses(bool on) override
    {
        if (inputs.size() <= 1 && outputs.size() <= 1) return false;
        auxiliaryOn = on;
        return true;
    }
    bool Activate(double sampleRate, int32_t maxFrames, bool use64, std::u16string& error) override
    {
        sampleSize = use64 ? kSample64 : kSample32;
        ProcessSetup setup{kRealtime, sampleSize, maxFrames, sampleRate};
        LogInfo(u"Calling setupProcessing...\n");
        if (const tresult done = processor->setupProcessing(&setup); done != kResultOk) {
            error = Result(u"setupProcessing", done);
            return false;
        }
        for (size_t i = 0; i < inputs.size(); ++i) component->activateBus(kAudio, kInput, static_cast<int32_t>(i), i == 0 || auxiliaryOn);
        for (size_t i = 0; i < outputs.size(); ++i) component->activateBus(kAudio, kOutput, static_cast<int32_t>(i), i == 0 || auxiliaryOn);
        if (eventInputs > 0) component->activateBus(kEvent, kInput, 0, 1);
        if (eventOutputs > 0) component->activateBus(kEvent, kOutput, 0, 1);
        LogInfo(u"Calling setActive...\n");
        if (const tresult done = component->setActive(1); done != kResultOk) {
            error = Result(u"setActive", done);
            return false;
        }
        active = true;
        context = {};
        context.state = kContextTempoValid | kContextTimeSigValid | kContextPlaying;
        context.sampleRate = sampleRate;
        context.tempo = 120;
        context.timeSigNumerator = context.timeSigDenominator = 4;
        return true;
    }
    // On the audio thread, which hosts may call it from.
    bool StartProcessing(std::u16string& error) override
    {
        const tresult done = processor->setProcessing(1);
        if (done != kResultOk && done != kNotImplemented && done != kResultFalse) {
            error = Result(u"setProcessing", done);
            return false;
        }
        processing = true;
        return true;
    }
    void StopProcessing() override
    {
        processor->setProcessing(0);
        processing = false;
    }
    uint32_t LatencySamples() override { return processor->getLatencySamples(); }
    uint32_t TailSamples() override
    {
        const uint32_t tail = processor->getTailSamples();
        return tail == kInfiniteTail ? kTailEndless : std::min(tail, kTailUnknown - 1);
    }
    bool Process(CCheckBlock& block, std::u16string& error) override
    {
        std::vector<AudioBusBuffers> ins, outs;
        Buses(inputs, block.use64 ? reinterpret_cast<void**>(block.inputs64.data()) : reinterpret_cast<void**>(block.inputs32.data()), ins);
        Buses(outputs, block.use64 ? reinterpret_cast<void**>(block.outputs64.data()) : reinterpret_cast<void**>(block.outputs32.data()), outs);
        events.Clear();
        sentEvents.Clear();
        sentChanges.queues.clear();
        // The main thread's edits first, then the automation points, each queue in time order.
        edits.TakeAll(takenEdits);
        for (const auto& [id, value] : takenEdits)
            if (IParamValueQueue* queue = changes.addParameterData(&id, nullptr)) queue->addPoint(0, value, nullptr);
        for (const CParameterPoint& point : block.points) {
            const uint32_t id = Id(point.index);
            if (IParamValueQueue* queue = changes.addParameterData(&id, nullptr)) queue->addPoint(point.offset, point.value, nullptr);
        }
        AddNote(block.noteOn, true);
        AddNote(block.noteOff, false);
        context.projectTimeSamples = block.position;
        ProcessData data{};
        data.processMode = kRealtime;
        data.symbolicSampleSize = sampleSize;
        data.numSamples = block.frames;
        data.numInputs = static_cast<int32_t>(ins.size());
        data.numOutputs = static_cast<int32_t>(outs.size());
        data.inputs = ins.empty() ? nullptr : ins.data();
        data.outputs = outs.empty() ? nullptr : outs.data();
        data.inputParameterChanges = &changes;
        data.outputParameterChanges = &sentChanges;
        data.inputEvents = &events;
        data.outputEvents = &sentEvents;
        data.processContext = &context;
        tresult done;
        {
            CTimedCall timed(block.timer);
            done = processor->process(&data);
        }
        block.eventsOut += sentEvents.added;
        // What the processor changed, and where automation left a value, goes to the controller
        // on the main thread, as a host forwards it.
        if (controller) {
            for (CParamValueQueue& queue : sentChanges.queues)
                if (!queue.points.empty()) reported.Add(queue.id, queue.points.back().second);
            if (!block.points.empty())
                for (CParamValueQueue& queue : changes.queues)
                    if (!queue.points.empty()) reported.Add(queue.id, queue.points.back().second);
        }
        changes.queues.clear();
        if (done == kResultOk) return true;
        error = Result(u"process", done);
        return false;
    }
    void Deactivate() override
    {
        if (!active) return;
        if (processing) StopProcessing();
        component->setActive(0);
        active = false;
    }
    int32_t ParameterCount() override { return controller ? controller->getParameterCount() : 0; }
    bool ReadParameter(int32_t index, CParameterInfo& info) override
    {
        ParameterInfo parameter{};
        if (controller->getParameterInfo(index, &parameter) != kResultOk) return false;
        parameterIds.resize(std::max<size_t>(parameterIds.size(), index + 1));
        parameterIds[index] = parameter.id;
        info.name = PluginText16(parameter.title, 128);
        info.defaultValue = parameter.defaultNormalizedValue;
        info.readOnly = (parameter.flags & kParameterIsReadOnly) != 0;
        info.hidden = (parameter.flags & kParameterIsHidden) != 0;
        info.programChange = (parameter.flags & kParameterIsProgramChange) != 0;
        info.steps = parameter.stepCount > 0 ? parameter.stepCount : 0;
        info.stepped = info.steps > 0;
        info.automatable = (parameter.flags & kParameterCanAutomate) != 0;
        info.list = (parameter.flags & kParameterIsList) != 0;
        if (info.programChange && programParameter < 0) {
            programParameter = index;
            programSteps = info.steps;
        }
        return true;
    }
    double ParameterValue(int32_t index) override { return controller->getParamNormalized(Id(index)); }
    CParameterText ParameterText(int32_t index) override
    {
        char16_t text[128 + 64] = {};
        controller->getParamStringByValue(Id(index), controller->getParamNormalized(Id(index)), text);
        return {PluginText16(text, 128), text[127] == 0};
    }
    // The controller hears of it as of an edit, and the processor in the next block's changes:
    // a plug-in that is one object may take it only there.
    void SetParameter(int32_t index, double value) override
    {
        const uint32_t id = Id(index);
        controller->setParamNormalized(id, value);
        edits.Add(id, value);
    }
    void OnMainThread() override
    {
        reported.TakeAll(takenReports);
        for (const auto& [id, value] : takenReports) controller->setParamNormalized(id, value);
    }
    // The values of the program-change parameter, named by the program list when the
    // controller offers one.
    int32_t ProgramCount() override
    {
        if (programParameter < 0) return 0;
        programNames.clear();
        if (auto* units = Query<IUnitInfo>(controller, kUnitInfoId)) {
            LogInfo(u"Calling getProgramListInfo and getProgramName...\n");
            const int32_t lists = std::min(units->getProgramListCount(), kMostProgramLists);
            for (int32_t list = 0; list < lists; ++list) {
                ProgramListInfo info{};
                if (units->getProgramListInfo(list, &info) != kResultOk) continue;
                const int32_t count = std::min(info.programCount, kMostPrograms);
                for (int32_t program = 0; program < count; ++program) {
                    char16_t name[128 + 64] = {};
                    units->getProgramName(info.id, program, name);
                    if (list == 0) programNames.push_back(PluginText16(name, 128));
                }
            }
            units->release();
        }
        return std::min(programSteps, kMostPrograms - 1) + 1;
    }
    std::u16string ChooseProgram(int32_t program) override
    {
        SetParameter(programParameter, programSteps > 0 ? static_cast<double>(program) / programSteps : 0.0);
        return program < static_cast<int32_t>(programNames.size()) ? programNames[program] : u"";
    }
    CStateSupport SaveState(std::vector<uint8_t>& bytes, std::u16string& error) override
    {
        CMemoryStream componentState, controllerState;
        LogInfo(u"Calling getState...\n");
        if (const tresult done = component->getState(&componentState); done != kResultOk) {
            if (done == kNotImplemented) return CStateSupport::kNone;
            error = Result(u"the component's getState", done);
            return CStateSupport::kFailed;
        }
        if (controller && separate) controller->getState(&controllerState);
        if (componentState.Refused() || controllerState.Refused()) {
            error = u"its state is larger than the 256 MiB a check keeps: the stream refused the rest";
            return CStateSupport::kFailed;
        }
        // Nothing written: a plug-in whose settings are all parameters a host keeps itself.
        if (componentState.Bytes().empty() && controllerState.Bytes().empty()) return CStateSupport::kNone;
        // One record of both: the component's length, its state, then the controller's.
        const uint32_t length = static_cast<uint32_t>(componentState.Bytes().size());
        bytes.assign(reinterpret_cast<const uint8_t*>(&length), reinterpret_cast<const uint8_t*>(&length) + 4);
        bytes.insert(bytes.end(), componentState.Bytes().begin(), componentState.Bytes().end());
        bytes.insert(bytes.end(), controllerState.Bytes().begin(), controllerState.Bytes().end());
        return CStateSupport::kSaved;
    }
    size_t StateSize(const std::vector<uint8_t>& bytes) override { return bytes.size() - 4; }
    bool LoadState(const std::vector<uint8_t>& bytes, std::u16string& error) override
    {
        uint32_t length = 0;
        std::memcpy(&length, bytes.data(), 4);
        CMemoryStream componentState(std::vector<uint8_t>(bytes.begin() + 4, bytes.begin() + 4 + length));
        CMemoryStream controllerState(std::vector<uint8_t>(bytes.begin() + 4 + length, bytes.end()));
        LogInfo(u"Calling setState...\n");
        if (const tresult done = component->setState(&componentState); done != kResultOk) {
            error = Result(u"the component's setState", done);
            return false;
        }
        if (controller && separate) {
            componentState.Rewind();
            controller->setComponentState(&componentState);
            controller->setState(&controllerState);
        }
        return true;
    }
    bool OpenEditor(void* parent, std::u16string& error) override
    {
        LogInfo(u"Calling createView...\n");
        view = controller ? controller->createView(kEditorViewName) : nullptr;
        if (view == nullptr) return false;
        if (view->isPlatformTypeSupported(kVst3EditorPlatform) != kResultOk) {
            error = FormatString(u"its editor does not support %S", kVst3EditorPlatform);
            return false;
        }
        ViewRect size{};
        view->getSize(&size);
        view->setFrame(&frame);
        LogInfo(u"Calling attached...\n");
        if (const tresult done = view->attached(parent, kVst3EditorPlatform); done != kResultOk) {
            error = Result(u"attached", done);
            return false;
        }
        attached = true;
        return true;
    }
    void IdleEditor() override { frame.runLoop.FireTimers(); }
    void CloseEditor() override
    {
        if (view == nullptr) return;
        LogInfo(u"Calling removed...\n");
        if (attached) view->removed();
        frame.runLoop.Forget();
        view->setFrame(nullptr);
        view->release();
        view = nullptr;
        attached = false;
    }
    void Close() override
    {
        CloseEditor();
        Deactivate();
        if (componentPoint && controllerPoint) {
            LogInfo(u"Calling disconnect...\n");
            componentPoint->disconnect(controllerPoint);
            controllerPoint->disconnect(componentPoint);
        }
        for (IConnectionPoint* point : {componentPoint, controllerPoint})
            if (point) point->release();
        componentPoint = controllerPoint = nullptr;
        LogInfo(u"Calling terminate...\n");
        if (componentInitialized) component->terminate();
        if (controller && separate && controllerInitialized) controller->terminate();
        LogInfo(u"Calling release...\n");
        if (processor) processor->release();
        if (controller) controller->release();
        if (component) component->release();
        processor = nullptr;
        controller = nullptr;
        component = nullptr;
    }

private:
    bool OpenController(std::u16string& error)
    {
        controller = Query<IEditController>(component, kEditControllerId);
        if (controller == nullptr) {
            uint8_t controllerId[16] = {};
            LogInfo(u"Calling getControllerClassId...\n");
            if (component->getControllerClassId(controllerId) != kResultOk) return true;  // no controller: no parameters
            void* created = nullptr;
            LogInfo(u"Creating the controller...\n");
            if (factory->createInstance(controllerId, kEditControllerId.data(), &created) != kResultOk || created == nullptr)
                return true;
            controller = static_cast<IEditController*>(created);
            separate = true;
            LogInfo(u"Calling initialize of the controller...\n");
            if (const tresult done = controller->initialize(&Vst3HostContext); done != kResultOk) {
                error = Result(u"the controller's initialize", done);
                return false;
            }
            controllerInitialized = true;
        }
        LogInfo(u"Calling setComponentHandler...\n");
        controller->setComponentHandler(&handler);
        if (separate) {
            componentPoint = Query<IConnectionPoint>(component, kConnectionPointId);
            controllerPoint = Query<IConnectionPoint>(controller, kConnectionPointId);
            if (componentPoint && controllerPoint) {
                LogInfo(u"Calling connect...\n");
                componentPoint->connect(controllerPoint);
                controllerPoint->connect(componentPoint);
            }
            CMemoryStream state;
            if (component->getState(&state) == kResultOk) {
                state.Rewind();
                controller->setComponentState(&state);
            }
        }
        return true;
    }
    // Each audio bus's channels, as it now says.
    void ReadChannels()
    {
        for (int32_t direction : {kInput, kOutput}) {
            std::vector<int32_t>& channels = direction == kInput ? inputs : outputs;
            for (size_t i = 0; i < channels.size(); ++i) {
                BusInfo info{};
                if (component->getBusInfo(kAudio, direction, static_cast<int32_t>(i), &info) == kResultOk) channels[i] = info.channelCount;
            }
        }
    }
    uint32_t Id(int32_t index) const { return index < static_cast<int32_t>(parameterIds.size()) ? parameterIds[index] : 0; }
    // Every bus gets its channels, in order, from the flat list of the block.
    static void Buses(const std::vector<int32_t>& channels, void** flat, std::vector<AudioBusBuffers>& buses)
    {
        size_t at = 0;
        for (int32_t count : channels) {
            AudioBusBuffers bus{};
            bus.numChannels = count;
            bus.channelBuffers = flat + at;
            at += count;
            buses.push_back(bus);
        }
    }
    void AddNote(int32_t offset, bool on)
    {
        if (offset < 0 || eventInputs <= 0) return;
        Event event{};
        event.sampleOffset = offset;
        event.type = on ? kNoteOnEvent : kNoteOffEvent;
        if (on) event.noteOn = {0, kMiddleC, 0.0f, 0.8f, 0, -1};
        else event.noteOff = {0, kMiddleC, 0.0f, -1, 0.0f};
        events.events.push_back(event);
    }

    IPluginFactory* factory;
    uint8_t classId[16];
    IComponent* component = nullptr;
    IAudioProcessor* processor = nullptr;
    IEditController* controller = nullptr;
    IConnectionPoint* componentPoint = nullptr;
    IConnectionPoint* controllerPoint = nullptr;
    IPlugView* view = nullptr;
    static constexpr int32_t kMostProgramLists = 16, kMostPrograms = 128;
    bool separate = false, componentInitialized = false, controllerInitialized = false, active = false, attached = false;
    std::atomic<bool> processing{false};
    bool auxiliaryOn = true;
    std::vector<uint64_t> arrangements[2];  // each bus's, inputs and outputs, as it was opened
    int32_t programParameter = -1, programSteps = 0;
    std::vector<std::u16string> programNames;  // of the first program list
    int32_t eventInputs = 0, eventOutputs = 0;
    int32_t sampleSize = kSample32;
    std::vector<int32_t> inputs, outputs;
    std::vector<uint32_t> parameterIds;
    ProcessContext context{};
    CEventList events, sentEvents;
    CParameterChanges changes, sentChanges;
    CValueHandOver edits;     // from the main thread, for the next block
    CValueHandOver reported;  // from the processor, for the controller
    std::vector<std::pair<uint32_t, double>> takenEdits, takenReports;
    CComponentHandler handler{edits};
    CPlugFrame frame;
};

// The class of that id, by its 16 bytes, asked for as the scan asks: a module may answer only
// the Unicode form. False when the factory lists none.
bool FindClass(IPluginFactory* factory, const std::u16string& id, uint8_t* cid)
{
    auto* factory2 = Query<IPluginFactory2>(factory, kPluginFactory2Id);
    auto* factory3 = Query<IPluginFactory3>(factory, kPluginFactory3Id);
    const int32_t count = std::min(factory->countClasses(), 4096);
    bool found = false;
    for (int32_t index = 0; index < count && !found; ++index) {
        PClassInfoW unicode{};
        PClassInfo2 info2{};
        PClassInfo info{};
        const uint8_t* listed = nullptr;
        if (factory3 && factory3->getClassInfoUnicode(index, &unicode) == kResultOk) listed = unicode.cid;
        else if (factory2 && factory2->getClassInfo2(index, &info2) == kResultOk) listed = info2.cid;
        else if (factory->getClassInfo(index, &info) == kResultOk) listed = info.cid;
        if (listed && TuidText(listed) == id) {
            std::memcpy(cid, listed, 16);
            found = true;
        }
    }
    for (FUnknown* asked : {static_cast<FUnknown*>(factory2), static_cast<FUnknown*>(factory3)})
        if (asked) asked->release();
    TakeProcessBack();
    return found;
}

}  // namespace

bool CheckVst3Plugin(const std::u16string& path, const std::u16string& classId, bool withEditor, CCheckResult& result,
                     std::u16string& error)
{
    result.format = u"vst3";
    std::u16string binary;
    if (!ResolveModule(path, binary, error)) return false;
    PluginModule module = LoadPluginLibrary(binary, error);
    if (module == nullptr) return false;
    const CVst3ModuleEntry entry(module);
    const GetFactoryFunction getFactory = FindGetPluginFactory(module);
    bool checked = false;
    if (getFactory == nullptr) {
        error = u"no GetPluginFactory: the file is not a VST 3 module";
    } else if (entry.HasEnter() && (LogInfo(u"Calling %s...\n", entry.EnterName()), !entry.Enter())) {
        error = FormatString(u"%s failed", entry.EnterName());
    } else {
        LogInfo(u"Calling GetPluginFactory...\n");
        IPluginFactory* factory = getFactory();
        uint8_t cid[16] = {};
        if (factory == nullptr) {
            error = u"GetPluginFactory returned no factory";
        } else {
            if (auto* factory3 = Query<IPluginFactory3>(factory, kPluginFactory3Id)) {
                factory3->setHostContext(&Vst3HostContext);
                factory3->release();
            }
            if (!FindClass(factory, classId, cid)) {
                error = u"the module lists no class " + classId;
            } else {
                CVst3Plugin plugin(factory, cid);
                RunCheck(plugin, withEditor, result);
                checked = true;
            }
            LogInfo(u"Calling release of the factory...\n");
            factory->release();
        }
        if (entry.HasExit()) {
            LogInfo(u"Calling %s...\n", entry.ExitName());
            entry.Exit();
        }
        TakeProcessBack();
    }
    FreePluginLibrary(module);
    return checked;
}
