// A VST 3 module of the check zoo: one class, component, processor and controller in one
// object, with an editor view. Its behaviour is the one it was built with.
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "probe/vst3/Vst3Abi.h"
#include "tests/plugins/check/CheckZoo.h"

using namespace vst3;

namespace {

constexpr CTuid kClassId = MakeTuid(0x5A564333, 0x43484543, 0x4B000000, ZOO_CHECK_BEHAVIOUR);
// With a controller of its own, the class the component names; the two talk through a message
// the controller asks the host to make, and the component plays only once it has heard it.
constexpr bool kSeparate = kBehaviour == CBehaviour::kSeparateController;
constexpr CTuid kControllerId = MakeTuid(0x5A564333, 0x43545243, 0x4C000000, ZOO_CHECK_BEHAVIOUR);
constexpr char kHello[] = "zoo.hello";

class CZooView final : public IPlugView {
public:
    tresult VST3_METHOD queryInterface(const uint8_t* iid, void** object) override
    {
        const bool known = SameTuid(iid, kFUnknownId.data()) || SameTuid(iid, kPlugViewId.data());
        *object = known ? this : nullptr;
        return known ? kResultOk : kNoInterface;
    }
    uint32_t VST3_METHOD addRef() override { return ++references; }
    uint32_t VST3_METHOD release() override
    {
        const uint32_t left = --references;
        if (left == 0) delete this;
        return left;
    }
    tresult VST3_METHOD isPlatformTypeSupported(const char* type) override
    {
        return std::strcmp(type, kZooVst3EditorPlatform) == 0 ? kResultOk : kResultFalse;
    }
    tresult VST3_METHOD attached(void* parent, const char*) override
    {
        window = OpenZooEditor(parent);
        return kResultOk;
    }
    tresult VST3_METHOD removed() override
    {
        if (window) CloseZooEditor(window);
        window = nullptr;
        return kResultOk;
    }
    tresult VST3_METHOD onWheel(float) override { return kResultFalse; }
    tresult VST3_METHOD onKeyDown(char16_t, int16_t, int16_t) override { return kResultFalse; }
    tresult VST3_METHOD onKeyUp(char16_t, int16_t, int16_t) override { return kResultFalse; }
    tresult VST3_METHOD getSize(ViewRect* size) override
    {
        *size = {0, 0, 300, 200};
        return kResultOk;
    }
    tresult VST3_METHOD onSize(ViewRect*) override { return kResultOk; }
    tresult VST3_METHOD onFocus(TBool) override { return kResultOk; }
    tresult VST3_METHOD setFrame(IPlugFrame*) override { return kResultOk; }
    tresult VST3_METHOD canResize() override { return kResultFalse; }
    tresult VST3_METHOD checkSizeConstraint(ViewRect*) override { return kResultOk; }

private:
    uint32_t references = 1;
    void* window = nullptr;
};

class CZooPlugin final : public IComponent, public IAudioProcessor, public IEditController, public IConnectionPoint, public IUnitInfo {
public:
    explicit CZooPlugin(bool controllerRole = false) : controllerRole(controllerRole) {}

    tresult VST3_METHOD queryInterface(const uint8_t* iid, void** object) override
    {
        if (SameTuid(iid, kFUnknownId.data()) || SameTuid(iid, kComponentId.data()) || SameTuid(iid, kPluginBaseId.data()))
            *object = static_cast<IComponent*>(this);
        else if (SameTuid(iid, kAudioProcessorId.data()) && !controllerRole)
            *object = static_cast<IAudioProcessor*>(this);
        else if (SameTuid(iid, kEditControllerId.data()) && (!kSeparate || controllerRole))
            *object = static_cast<IEditController*>(this);
        else if (SameTuid(iid, kConnectionPointId.data()) && kSeparate)
            *object = static_cast<IConnectionPoint*>(this);
        else if (SameTuid(iid, kUnitInfoId.data()) && kProgramParameter)
            *object = static_cast<IUnitInfo*>(this);
        else
            return *object = nullptr, kNoInterface;
        addRef();
        return kResultOk;
    }

    // IUnitInfo: one unit with one program list, named as its programs are.
    int32_t VST3_METHOD getUnitCount() override { return 1; }
    tresult VST3_METHOD getUnitInfo(int32_t index, UnitInfo* info) override
    {
        if (index != 0) return kInvalidArgument;
        *info = {0, -1, u"Root", kProgramListId};
        return kResultOk;
    }
    int32_t VST3_METHOD getProgramListCount() override { return 1; }
    tresult VST3_METHOD getProgramListInfo(int32_t index, ProgramListInfo* info) override
    {
        if (index != 0) return kInvalidArgument;
        *info = {kProgramListId, u"Programs", kProgramCount};
        return kResultOk;
    }
    tresult VST3_METHOD getProgramName(int32_t list, int32_t program, char16_t* name) override
    {
        if (list != kProgramListId || program < 0 || program >= kProgramCount) return kInvalidArgument;
        const char16_t text[] = {u'P', u'r', u'o', u'g', u'r', u'a', u'm', u' ', static_cast<char16_t>(u'1' + program), 0};
        std::memcpy(name, text, sizeof(text));
        return kResultOk;
    }
    tresult VST3_METHOD getProgramInfo(int32_t, int32_t, const char*, char16_t*) override { return kResultFalse; }
    tresult VST3_METHOD hasProgramPitchNames(int32_t, int32_t) override { return kResultFalse; }
    tresult VST3_METHOD getProgramPitchName(int32_t, int32_t, int16_t, char16_t*) override { return kResultFalse; }
    int32_t VST3_METHOD getSelectedUnit() override { return 0; }
    tresult VST3_METHOD selectUnit(int32_t) override { return kResultOk; }
    tresult VST3_METHOD getUnitByBus(int32_t, int32_t, int32_t, int32_t, int32_t* unit) override
    {
        *unit = 0;
        return kResultOk;
    }
    tresult VST3_METHOD setUnitProgramData(int32_t, int32_t, IBStream*) override { return kResultFalse; }

    // IConnectionPoint: the controller greets the component as soon as they are connected.
    tresult VST3_METHOD connect(IConnectionPoint* other) override
    {
        if (!controllerRole || host == nullptr || other == nullptr) return kResultOk;
        void* made = nullptr;
        if (host->createInstance(const_cast<uint8_t*>(kMessageId.data()), const_cast<uint8_t*>(kMessageId.data()), &made) != kResultOk)
            return kResultFalse;
        auto* message = static_cast<IMessage*>(made);
        message->setMessageID(kHello);
        message->getAttributes()->setInt("answer", 42);
        const tresult sent = other->notify(message);
        message->release();
        return sent;
    }
    tresult VST3_METHOD disconnect(IConnectionPoint*) override { return kResultOk; }
    tresult VST3_METHOD notify(FUnknown* received) override
    {
        auto* message = static_cast<IMessage*>(received);
        int64_t answer = 0;
        greeted = message && std::strcmp(message->getMessageID(), kHello) == 0 &&
                  message->getAttributes()->getInt("answer", &answer) == kResultOk && answer == 42;
        return kResultOk;
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
        void* found = nullptr;
        if (context && context->queryInterface(kHostApplicationId.data(), &found) == kResultOk) host = static_cast<IHostApplication*>(found);
        return kResultOk;
    }
    tresult VST3_METHOD terminate() override
    {
        if (host) host->release();
        host = nullptr;
        return kResultOk;
    }

    // IComponent
    tresult VST3_METHOD getControllerClassId(uint8_t* id) override
    {
        if (!kSeparate) return kResultFalse;
        std::memcpy(id, kControllerId.data(), 16);
        return kResultOk;
    }
    tresult VST3_METHOD setIoMode(int32_t) override { return kResultOk; }
    int32_t VST3_METHOD getBusCount(int32_t type, int32_t direction) override
    {
        if (type == kEvent) return direction == kInput ? kTakesNotes : kMidiEffect;
        return (direction == kInput ? kInputChannels : kOutputChannels) > 0 ? kAudioBuses : 0;
    }
    tresult VST3_METHOD getBusInfo(int32_t type, int32_t direction, int32_t index, BusInfo* bus) override
    {
        if (index < 0 || index >= getBusCount(type, direction)) return kInvalidArgument;
        *bus = {};
        bus->mediaType = type;
        bus->direction = direction;
        bus->channelCount = type != kAudio ? 1 : kManyBuses ? kBusChannels : buses.channels[direction == kOutput];
        const char16_t name[] = u"Main";
        std::memcpy(bus->name, name, sizeof(name));
        bus->busType = index == 0 ? kMain : kAux;
        bus->flags = 1;
        return kResultOk;
    }
    tresult VST3_METHOD getRoutingInfo(void*, void*) override { return kNotImplemented; }
    tresult VST3_METHOD activateBus(int32_t, int32_t, int32_t, TBool) override { return kResultOk; }
    tresult VST3_METHOD setActive(TBool state) override
    {
        if (state) HangIfAsked();
        return kResultOk;
    }
    tresult VST3_METHOD setState(FUnknown* state) override
    {
        const std::string bytes = ReadAll(static_cast<IBStream*>(state));
        if (kBehaviour == CBehaviour::kRefusesOwnState || !sound.LoadStateBytes(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()))
            return kResultFalse;
        return kResultOk;
    }
    tresult VST3_METHOD getState(FUnknown* state) override
    {
        std::string bytes = sound.StateBytes();
        auto* stream = static_cast<IBStream*>(state);
        if (!sound.KeepsState()) return kResultOk;
        if (kBehaviour == CBehaviour::kHugeState) {
            WriteHugeState([&](const uint8_t* piece, size_t size) { stream->write(const_cast<uint8_t*>(piece), static_cast<int32_t>(size), nullptr); });
            return kResultOk;
        }
        return stream->write(bytes.data(), static_cast<int32_t>(bytes.size()), nullptr);
    }

    // IAudioProcessor
    tresult VST3_METHOD setBusArrangements(uint64_t* inputs, int32_t inCount, uint64_t* outputs, int32_t outCount) override
    {
        const auto channels = [](uint64_t arrangement) { return arrangement == kSpeakerMono ? 1 : arrangement == kSpeakerStereo ? 2 : 0; };
        const int in = inCount > 0 ? channels(inputs[0]) : 0, out = outCount > 0 ? channels(outputs[0]) : 0;
        if (!CZooBuses::Takes(in, out)) return kResultFalse;
        buses.channels[0] = in, buses.channels[1] = out;
        return kResultOk;
    }
    tresult VST3_METHOD getBusArrangement(int32_t direction, int32_t, uint64_t* arrangement) override
    {
        *arrangement = buses.channels[direction == kOutput] == 1 ? kSpeakerMono : kSpeakerStereo;
        return kResultOk;
    }
    tresult VST3_METHOD canProcessSampleSize(int32_t) override { return kResultOk; }
    uint32_t VST3_METHOD getLatencySamples() override { return 0; }
    tresult VST3_METHOD setupProcessing(ProcessSetup* setup) override
    {
        sound.sampleRate = setup->sampleRate;
        return kResultOk;
    }
    tresult VST3_METHOD setProcessing(TBool) override { return kResultOk; }
    tresult VST3_METHOD process(ProcessData* data) override
    {
        if (kBehaviour == CBehaviour::kAssertsOnMissingOutputs && (!data->outputParameterChanges || !data->outputEvents))
            std::fprintf(stderr, "assertion failure: \"outputParameterChanges != nullptr\" in process\n");
        if (data->inputEvents) {
            for (int32_t i = 0; i < data->inputEvents->getEventCount(); ++i) {
                Event event{};
                if (data->inputEvents->getEvent(i, &event) != kResultOk) continue;
                sound.Note(event.type == kNoteOnEvent);
                if (kMidiEffect && data->outputEvents) data->outputEvents->addEvent(&event);
            }
        }
        // A host's changes come in the block's queues, each point at its offset; the zoo's sound
        // takes them at the block's start.
        if (IParameterChanges* changes = data->inputParameterChanges) {
            for (int32_t i = 0; i < changes->getParameterCount(); ++i) {
                IParamValueQueue* queue = changes->getParameterData(i);
                for (int32_t point = 0; queue && point < queue->getPointCount(); ++point) {
                    int32_t offset = 0;
                    double value = 0;
                    if (queue->getPoint(point, &offset, &value) != kResultOk) continue;
                    if (queue->getParameterId() < 2) sound.SetAt(static_cast<int>(queue->getParameterId()), value, offset);
                    if (queue->getParameterId() == kProgramId && kProgramParameter) sound.ChooseProgram(ProgramOf(value));
                }
            }
        }
        if (data->numOutputs < 1 || kManyBuses) return kResultOk;
        // A component its controller never reached is broken: it says so in its output.
        if (kSeparate && !greeted && data->numSamples > 0 && data->outputs[0].numChannels > 0) {
            if (data->symbolicSampleSize == kSample64) reinterpret_cast<double**>(data->outputs[0].channelBuffers)[0][0] = std::nan("");
            else reinterpret_cast<float**>(data->outputs[0].channelBuffers)[0][0] = std::nanf("");
            return kResultOk;
        }
        buses.FaultIfStereoToMono();
        const AudioBusBuffers* in = data->numInputs > 0 ? &data->inputs[0] : nullptr;
        const AudioBusBuffers& out = data->outputs[0];
        if (data->symbolicSampleSize == kSample64)
            sound.Process(in ? reinterpret_cast<double**>(in->channelBuffers) : nullptr, in ? in->numChannels : 0,
                          reinterpret_cast<double**>(out.channelBuffers), out.numChannels, data->numSamples);
        else
            sound.Process(in ? reinterpret_cast<float**>(in->channelBuffers) : nullptr, in ? in->numChannels : 0,
                          reinterpret_cast<float**>(out.channelBuffers), out.numChannels, data->numSamples);
        return kResultOk;
    }
    uint32_t VST3_METHOD getTailSamples() override { return 0; }

    // IEditController
    tresult VST3_METHOD setComponentState(IBStream* state) override
    {
        if (state == nullptr) return kResultOk;
        const std::string bytes = ReadAll(state);
        sound.LoadStateBytes(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
        return kResultOk;
    }
    tresult VST3_METHOD setState(IBStream*) override { return kResultOk; }
    tresult VST3_METHOD getState(IBStream*) override { return kResultOk; }
    int32_t VST3_METHOD getParameterCount() override { return kParameterCount + (kProgramParameter ? 1 : 0); }
    tresult VST3_METHOD getParameterInfo(int32_t index, ParameterInfo* info) override
    {
        if (index < 0 || index >= getParameterCount()) return kInvalidArgument;
        *info = {};
        info->id = static_cast<uint32_t>(index);
        const char* name = kProgramParameter && index == kProgramId ? "Program" : kParameterNames[index];
        for (int i = 0; name[i]; ++i) info->title[i] = static_cast<char16_t>(name[i]);
        info->defaultNormalizedValue = index < 2 ? kDefaults[index] : 0;
        info->flags = ParameterReadOnly(index) ? kParameterIsReadOnly : ParameterHidden(index) ? kParameterIsHidden : kParameterCanAutomate;
        if (index == 4) info->flags |= kParameterIsProgramChange;
        if (kBehaviour == CBehaviour::kAutomatableReadOnly && index == 2) info->flags |= kParameterCanAutomate;
        if (kSnaps && index < 2) info->stepCount = kSteps;
        if (kProgramParameter && index == kProgramId) {
            info->flags = kParameterIsProgramChange | kParameterIsList | kParameterCanAutomate;
            info->stepCount = kProgramCount - 1;
        }
        return kResultOk;
    }
    tresult VST3_METHOD getParamStringByValue(uint32_t, double value, char16_t* text) override
    {
        char ascii[16];
        std::snprintf(ascii, sizeof(ascii), "%.2f", value);
        for (int i = 0;; ++i)
            if ((text[i] = static_cast<char16_t>(ascii[i])) == 0) break;
        return kResultOk;
    }
    tresult VST3_METHOD getParamValueByString(uint32_t, char16_t*, double*) override { return kResultFalse; }
    double VST3_METHOD normalizedParamToPlain(uint32_t, double value) override { return value; }
    double VST3_METHOD plainParamToNormalized(uint32_t, double value) override { return value; }
    double VST3_METHOD getParamNormalized(uint32_t id) override
    {
        if (kProgramParameter && id == kProgramId) return static_cast<double>(sound.program) / std::max(kProgramCount - 1, 1);
        return id < kParameterCount ? sound.Get(static_cast<int>(id)) : 0;
    }
    // One object for processor and controller may take values only in process.
    tresult VST3_METHOD setParamNormalized(uint32_t id, double value) override
    {
        if (kBehaviour == CBehaviour::kValuesOnlyInProcess) return kResultOk;
        if (id < 2) sound.Set(static_cast<int>(id), value);
        if (kProgramParameter && id == kProgramId) sound.ChooseProgram(ProgramOf(value));
        return kResultOk;
    }
    tresult VST3_METHOD setComponentHandler(IComponentHandler*) override { return kResultOk; }
    IPlugView* VST3_METHOD createView(const char* name) override
    {
        if (kBehaviour == CBehaviour::kEditorCrashes) FaultHere();
        return name && std::strcmp(name, kEditorViewName) == 0 ? new CZooView : nullptr;
    }

private:
    static constexpr uint32_t kProgramId = 2;
    static constexpr int32_t kProgramListId = 1;
    static int ProgramOf(double value) { return static_cast<int>(std::lround(value * std::max(kProgramCount - 1, 1))); }
    static std::string ReadAll(IBStream* stream)
    {
        std::string bytes;
        char piece[256];
        for (int32_t got = 1; got > 0 && bytes.size() < (1u << 20);) {
            got = 0;
            if (stream->read(piece, sizeof(piece), &got) != kResultOk) break;
            bytes.append(piece, static_cast<size_t>(std::max(got, 0)));
        }
        return bytes;
    }

    uint32_t references = 1;
    CZooSound sound;
    CZooBuses buses;
    bool controllerRole;
    bool greeted = false;
    IHostApplication* host = nullptr;
};

// With a Unicode class, the factory lists it only through getClassInfoUnicode, as modules do
// whose class names need it.
class CZooFactory : public IPluginFactory3 {
public:
    tresult VST3_METHOD queryInterface(const uint8_t* iid, void** object) override
    {
        const bool known = SameTuid(iid, kFUnknownId.data()) || SameTuid(iid, kPluginFactoryId.data()) ||
                           (kBehaviour == CBehaviour::kUnicodeClass &&
                            (SameTuid(iid, kPluginFactory2Id.data()) || SameTuid(iid, kPluginFactory3Id.data())));
        *object = known ? this : nullptr;
        return known ? kResultOk : kNoInterface;
    }
    uint32_t VST3_METHOD addRef() override { return 1; }
    uint32_t VST3_METHOD release() override { return 1; }
    tresult VST3_METHOD getFactoryInfo(PFactoryInfo* info) override
    {
        *info = {};
        std::strcpy(info->vendor, "Tessarine Test Zoo");
        return kResultOk;
    }
    int32_t VST3_METHOD countClasses() override { return kSeparate ? 2 : 1; }
    tresult VST3_METHOD getClassInfo2(int32_t, PClassInfo2*) override { return kResultFalse; }
    tresult VST3_METHOD getClassInfoUnicode(int32_t index, PClassInfoW* info) override
    {
        if (index != 0) return kInvalidArgument;
        *info = {};
        std::memcpy(info->cid, kClassId.data(), 16);
        info->cardinality = 0x7FFFFFFF;
        std::strcpy(info->category, kAudioModuleClass);
        const char16_t name[] = u"Zoo Check \u00C9ffect \u2013 \u65E5\u672C";
        std::memcpy(info->name, name, sizeof(name));
        std::strcpy(info->subCategories, "Fx");
        return kResultOk;
    }
    tresult VST3_METHOD setHostContext(FUnknown*) override { return kResultOk; }
    tresult VST3_METHOD getClassInfo(int32_t index, PClassInfo* info) override
    {
        if (kBehaviour == CBehaviour::kUnicodeClass) return kResultFalse;
        if (index < 0 || index >= countClasses()) return kInvalidArgument;
        *info = {};
        std::memcpy(info->cid, (index == 0 ? kClassId : kControllerId).data(), 16);
        info->cardinality = 0x7FFFFFFF;
        std::strcpy(info->category, index == 0 ? kAudioModuleClass : "Component Controller Class");
        std::strcpy(info->name, index == 1 ? "Zoo Check Controller" : kInstrument ? "Zoo Check Synth" : "Zoo Check Effect");
        return kResultOk;
    }
    tresult VST3_METHOD createInstance(const uint8_t* cid, const uint8_t* iid, void** object) override
    {
        *object = nullptr;
        const bool controller = kSeparate && SameTuid(cid, kControllerId.data());
        if (!SameTuid(cid, kClassId.data()) && !controller) return kInvalidArgument;
        auto* plugin = new CZooPlugin(controller);
        const tresult found = plugin->queryInterface(iid, object);
        plugin->release();
        return found;
    }
};

CZooFactory Factory;

}  // namespace

ZOO_EXPORT IPluginFactory* VST3_METHOD GetPluginFactory() { return &Factory; }
