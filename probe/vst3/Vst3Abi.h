#pragma once
// The parts of the VST 3 binary interface that the scanner uses, declared from the published
// ABI: COM-style interfaces (three FUnknown entries first, each method taking the object
// first), the factory and its class records, the component and its buses, and the host
// context. Every method is __stdcall on Windows: on x86 that is not the C++ default (thiscall),
// so each is declared with it. Interface ids are 16 bytes in the platform's layout (Vst3Ids.h).
#include <cstddef>
#include <cstdint>

#include "probe/vst3/Vst3Ids.h"

#if defined(_WIN32) && !defined(_WIN64)
#define VST3_METHOD __stdcall
#else
#define VST3_METHOD
#endif

namespace vst3 {

using tresult = int32_t;
using TBool = uint8_t;
using String128 = char16_t[128];

constexpr tresult kResultOk = 0;
constexpr tresult kResultFalse = 1;
#if defined(_WIN32)
// COM's HRESULTs on Windows.
constexpr tresult kNoInterface = static_cast<tresult>(0x80004002);
constexpr tresult kNotImplemented = static_cast<tresult>(0x80004001);
constexpr tresult kInvalidArgument = static_cast<tresult>(0x80070057);
constexpr tresult kOutOfMemory = static_cast<tresult>(0x8007000E);
#else
// Small numbers elsewhere, where the ABI is not COM's.
constexpr tresult kNoInterface = -1;
constexpr tresult kInvalidArgument = 2;
constexpr tresult kNotImplemented = 3;
constexpr tresult kOutOfMemory = 6;
#endif

// The ids of the interfaces we ask for, as GUID text.
constexpr CTuid kFUnknownId = MakeTuid(0x00000000, 0x00000000, 0xC0000000, 0x00000046);
constexpr CTuid kPluginBaseId = MakeTuid(0x22888DDB, 0x156E45AE, 0x8358B348, 0x08190625);
constexpr CTuid kPluginFactoryId = MakeTuid(0x7A4D811C, 0x52114A1F, 0xAED9D2EE, 0x0B43BF9F);
constexpr CTuid kPluginFactory2Id = MakeTuid(0x0007B650, 0xF24B4C0B, 0xA464EDB9, 0xF00B2ABB);
constexpr CTuid kPluginFactory3Id = MakeTuid(0x4555A2AB, 0xC1234E57, 0x9B122910, 0x36878931);
constexpr CTuid kComponentId = MakeTuid(0xE831FF31, 0xF2D54301, 0x928EBBEE, 0x25697802);
constexpr CTuid kHostApplicationId = MakeTuid(0x58E595CC, 0xDB2D4969, 0x8B6AAF8C, 0x36A664E5);
constexpr CTuid kAudioProcessorId = MakeTuid(0x42043F99, 0xB7DA453C, 0xA569E79D, 0x9AAEC33D);
constexpr CTuid kEditControllerId = MakeTuid(0xDCD7BBE3, 0x7742448D, 0xA874AACC, 0x979C759E);
constexpr CTuid kUnitInfoId = MakeTuid(0x3D4BD6B5, 0x913A4FD2, 0xA886E768, 0xA5EB92C1);
constexpr CTuid kConnectionPointId = MakeTuid(0x70A4156F, 0x6E6E4026, 0x989148BF, 0xAA60D8D1);
constexpr CTuid kBStreamId = MakeTuid(0xC3BF6EA2, 0x30994752, 0x9B6BF990, 0x1EE33E9B);
constexpr CTuid kPlugViewId = MakeTuid(0x5BC32507, 0xD06049EA, 0xA6151B52, 0x2B755B29);
constexpr CTuid kPlugFrameId = MakeTuid(0x367FAF01, 0xAFA94693, 0x8D4DA2A0, 0xED0882A3);
constexpr CTuid kComponentHandlerId = MakeTuid(0x93A0BEA3, 0x0BD045DB, 0x8E890B0C, 0xC1E46AC6);
constexpr CTuid kParameterChangesId = MakeTuid(0xA4779663, 0x0BB64A56, 0xB44384A8, 0x466FEB9D);
constexpr CTuid kParamValueQueueId = MakeTuid(0x01263A18, 0xED074F6F, 0x98C9D356, 0x4686F9BA);
constexpr CTuid kEventListId = MakeTuid(0x3A2C4214, 0x346349FE, 0xB2C4F397, 0xB9695A44);
constexpr CTuid kMessageId = MakeTuid(0x936F033B, 0xC6C047DB, 0xBB0882F8, 0x13C1E613);
constexpr CTuid kAttributeListId = MakeTuid(0x1E5F0AEB, 0xCC7F4533, 0xA2544011, 0x38AD5EE4);
// Linux::IRunLoop and its handlers: the host's event loop, which a Linux editor asks its frame for.
constexpr CTuid kRunLoopId = MakeTuid(0x18C35366, 0x97764F1A, 0x9C5B8385, 0x7A871389);
constexpr CTuid kEventHandlerId = MakeTuid(0x561E65C9, 0x13A0496F, 0x813A2C35, 0x654D7983);
constexpr CTuid kTimerHandlerId = MakeTuid(0x10BDD94F, 0x41424774, 0x821FAD8F, 0xECA72CA9);

constexpr char kAudioModuleClass[] = "Audio Module Class";

enum MediaType : int32_t { kAudio = 0, kEvent = 1 };
enum BusDirection : int32_t { kInput = 0, kOutput = 1 };
enum BusType : int32_t { kMain = 0, kAux = 1 };
// BusInfo flags: a control-voltage bus carries no audio.
constexpr uint32_t kBusIsControlVoltage = 2;
enum ProcessMode : int32_t { kRealtime = 0 };
enum SymbolicSampleSize : int32_t { kSample32 = 0, kSample64 = 1 };
enum EventType : uint16_t { kNoteOnEvent = 0, kNoteOffEvent = 1 };
constexpr uint32_t kParameterCanAutomate = 0x1, kParameterIsList = 0x8;
constexpr uint32_t kParameterIsReadOnly = 0x2, kParameterIsHidden = 0x10, kParameterIsProgramChange = 0x8000,
                   kParameterIsBypass = 0x10000;
constexpr uint32_t kInfiniteTail = 0xFFFFFFFF;
constexpr uint64_t kSpeakerMono = 0x80000, kSpeakerStereo = 0x3;
constexpr uint32_t kContextTempoValid = 0x400, kContextTimeSigValid = 0x2000, kContextPlaying = 0x2;
constexpr char kEditorViewName[] = "editor";
constexpr char kPlatformTypeHwnd[] = "HWND";
constexpr char kPlatformTypeX11EmbedWindowID[] = "X11EmbedWindowID";

struct PFactoryInfo {
    char vendor[64];
    char url[256];
    char email[128];
    int32_t flags;
};

struct PClassInfo {
    uint8_t cid[16];
    int32_t cardinality;
    char category[32];
    char name[64];
};

struct PClassInfo2 {
    uint8_t cid[16];
    int32_t cardinality;
    char category[32];
    char name[64];
    uint32_t classFlags;
    char subCategories[128];
    char vendor[64];
    char version[64];
    char sdkVersion[64];
};

struct PClassInfoW {
    uint8_t cid[16];
    int32_t cardinality;
    char category[32];
    char16_t name[64];
    uint32_t classFlags;
    char subCategories[128];
    char16_t vendor[64];
    char16_t version[64];
    char16_t sdkVersion[64];
};

struct BusInfo {
    int32_t mediaType;
    int32_t direction;
    int32_t channelCount;
    String128 name;
    int32_t busType;
    uint32_t flags;
};

struct ProcessSetup {
    int32_t processMode;
    int32_t symbolicSampleSize;
    int32_t maxSamplesPerBlock;
    double sampleRate;
};

struct AudioBusBuffers {
    int32_t numChannels;
    uint64_t silenceFlags;
    void** channelBuffers;  // float** or double**, by the sample size
};

struct FUnknown;
struct IParameterChanges;
struct IEventList;

struct ProcessContext {
    uint32_t state;
    double sampleRate;
    int64_t projectTimeSamples, systemTime, continousTimeSamples;
    double projectTimeMusic, barPositionMusic, cycleStartMusic, cycleEndMusic, tempo;
    int32_t timeSigNumerator, timeSigDenominator;
    uint8_t chordKeyNote, chordRootNote;
    int16_t chordMask;
    int32_t smpteOffsetSubframes;
    uint32_t frameRateFps, frameRateFlags;
    int32_t samplesToNextClock;
};

struct ProcessData {
    int32_t processMode;
    int32_t symbolicSampleSize;
    int32_t numSamples;
    int32_t numInputs;
    int32_t numOutputs;
    AudioBusBuffers* inputs;
    AudioBusBuffers* outputs;
    IParameterChanges* inputParameterChanges;
    IParameterChanges* outputParameterChanges;
    IEventList* inputEvents;
    IEventList* outputEvents;
    ProcessContext* processContext;
};

struct NoteOnEvent {
    int16_t channel, pitch;
    float tuning, velocity;
    int32_t length, noteId;
};

struct NoteOffEvent {
    int16_t channel, pitch;
    float velocity;
    int32_t noteId;
    float tuning;
};

struct DataEvent {
    uint32_t size, type;
    const uint8_t* bytes;
};

// The note-expression events in the union are packed to 4 on x86 only.
#if defined(_WIN32) && !defined(_WIN64)
#pragma pack(push, 4)
#endif
struct Event {
    int32_t busIndex;
    int32_t sampleOffset;
    double ppqPosition;
    uint16_t flags;
    uint16_t type;
    union {
        NoteOnEvent noteOn;
        NoteOffEvent noteOff;
        DataEvent data;
    };
};
#if defined(_WIN32) && !defined(_WIN64)
#pragma pack(pop)
#endif

struct ParameterInfo {
    uint32_t id;
    String128 title, shortTitle, units;
    int32_t stepCount;
    double defaultNormalizedValue;
    int32_t unitId;
    int32_t flags;
};

struct ProgramListInfo {
    int32_t id;
    String128 name;
    int32_t programCount;
};

struct UnitInfo {
    int32_t id, parentUnitId;
    String128 name;
    int32_t programListId;
};

struct ViewRect {
    int32_t left, top, right, bottom;
};

constexpr bool kX64 = sizeof(void*) == 8;
static_assert(sizeof(ProcessSetup) == 24);
static_assert(sizeof(AudioBusBuffers) == 24 && offsetof(AudioBusBuffers, channelBuffers) == 16);
static_assert(sizeof(ProcessData) == (kX64 ? 80 : 48) && offsetof(ProcessData, inputs) == (kX64 ? 24 : 20));
static_assert(offsetof(ProcessData, processContext) == (kX64 ? 72 : 44));
static_assert(sizeof(ProcessContext) == 112 && offsetof(ProcessContext, tempo) == 72 &&
              offsetof(ProcessContext, frameRateFps) == 96 && offsetof(ProcessContext, samplesToNextClock) == 104);
static_assert(sizeof(Event) == (kX64 ? 48 : 40) && offsetof(Event, noteOn) == (kX64 ? 24 : 20));
static_assert(sizeof(NoteOnEvent) == 20 && sizeof(NoteOffEvent) == 16);
static_assert(sizeof(ParameterInfo) == 792 && offsetof(ParameterInfo, defaultNormalizedValue) == 776);
static_assert(sizeof(ViewRect) == 16);
static_assert(sizeof(ProgramListInfo) == 264 && sizeof(UnitInfo) == 268);
static_assert(sizeof(BusInfo) == 276);
// The ids' bytes as this platform's plug-ins hold them (docs/linux-abi.md): IPluginFactory is
// 1C 81 4D 7A 11 52 1F 4A ... on Windows, 7A 4D 81 1C 52 11 4A 1F ... elsewhere.
static_assert(kPluginFactoryId[0] == (kTuidLayout == TuidLayout::kCom ? 0x1C : 0x7A) &&
              kPluginFactoryId[4] == (kTuidLayout == TuidLayout::kCom ? 0x11 : 0x52) && kPluginFactoryId[8] == 0xAE);
static_assert(kTuidLayout == TuidLayout::kCom || (kNoInterface == -1 && kNotImplemented == 3));
static_assert(sizeof(PFactoryInfo) == 452);
static_assert(sizeof(PClassInfo) == 116);
static_assert(sizeof(PClassInfo2) == 440);
static_assert(sizeof(PClassInfoW) == 696);
static_assert(sizeof(BusInfo) == 276);

struct FUnknown {
    virtual tresult VST3_METHOD queryInterface(const uint8_t* iid, void** object) = 0;
    virtual uint32_t VST3_METHOD addRef() = 0;
    virtual uint32_t VST3_METHOD release() = 0;
};

struct IPluginFactory : FUnknown {
    virtual tresult VST3_METHOD getFactoryInfo(PFactoryInfo* info) = 0;
    virtual int32_t VST3_METHOD countClasses() = 0;
    virtual tresult VST3_METHOD getClassInfo(int32_t index, PClassInfo* info) = 0;
    virtual tresult VST3_METHOD createInstance(const uint8_t* cid, const uint8_t* iid, void** object) = 0;
};

struct IPluginFactory2 : IPluginFactory {
    virtual tresult VST3_METHOD getClassInfo2(int32_t index, PClassInfo2* info) = 0;
};

struct IPluginFactory3 : IPluginFactory2 {
    virtual tresult VST3_METHOD getClassInfoUnicode(int32_t index, PClassInfoW* info) = 0;
    virtual tresult VST3_METHOD setHostContext(FUnknown* context) = 0;
};

struct IPluginBase : FUnknown {
    virtual tresult VST3_METHOD initialize(FUnknown* context) = 0;
    virtual tresult VST3_METHOD terminate() = 0;
};

struct IComponent : IPluginBase {
    virtual tresult VST3_METHOD getControllerClassId(uint8_t* classId) = 0;
    virtual tresult VST3_METHOD setIoMode(int32_t mode) = 0;
    virtual int32_t VST3_METHOD getBusCount(int32_t type, int32_t direction) = 0;
    virtual tresult VST3_METHOD getBusInfo(int32_t type, int32_t direction, int32_t index, BusInfo* bus) = 0;
    virtual tresult VST3_METHOD getRoutingInfo(void* in, void* out) = 0;
    virtual tresult VST3_METHOD activateBus(int32_t type, int32_t direction, int32_t index, TBool state) = 0;
    virtual tresult VST3_METHOD setActive(TBool state) = 0;
    virtual tresult VST3_METHOD setState(FUnknown* state) = 0;
    virtual tresult VST3_METHOD getState(FUnknown* state) = 0;
};

struct IAudioProcessor : FUnknown {
    virtual tresult VST3_METHOD setBusArrangements(uint64_t* inputs, int32_t numIns, uint64_t* outputs, int32_t numOuts) = 0;
    virtual tresult VST3_METHOD getBusArrangement(int32_t direction, int32_t index, uint64_t* arrangement) = 0;
    virtual tresult VST3_METHOD canProcessSampleSize(int32_t symbolicSampleSize) = 0;
    virtual uint32_t VST3_METHOD getLatencySamples() = 0;
    virtual tresult VST3_METHOD setupProcessing(ProcessSetup* setup) = 0;
    virtual tresult VST3_METHOD setProcessing(TBool state) = 0;
    virtual tresult VST3_METHOD process(ProcessData* data) = 0;
    virtual uint32_t VST3_METHOD getTailSamples() = 0;
};

struct IBStream : FUnknown {
    virtual tresult VST3_METHOD read(void* buffer, int32_t numBytes, int32_t* numBytesRead) = 0;
    virtual tresult VST3_METHOD write(void* buffer, int32_t numBytes, int32_t* numBytesWritten) = 0;
    virtual tresult VST3_METHOD seek(int64_t pos, int32_t mode, int64_t* result) = 0;
    virtual tresult VST3_METHOD tell(int64_t* pos) = 0;
};

struct IComponentHandler : FUnknown {
    virtual tresult VST3_METHOD beginEdit(uint32_t id) = 0;
    virtual tresult VST3_METHOD performEdit(uint32_t id, double valueNormalized) = 0;
    virtual tresult VST3_METHOD endEdit(uint32_t id) = 0;
    virtual tresult VST3_METHOD restartComponent(int32_t flags) = 0;
};

struct IEventHandler : FUnknown {
    virtual void VST3_METHOD onFDIsSet(int fd) = 0;
};

struct ITimerHandler : FUnknown {
    virtual void VST3_METHOD onTimer() = 0;
};

struct IRunLoop : FUnknown {
    virtual tresult VST3_METHOD registerEventHandler(IEventHandler* handler, int fd) = 0;
    virtual tresult VST3_METHOD unregisterEventHandler(IEventHandler* handler) = 0;
    virtual tresult VST3_METHOD registerTimer(ITimerHandler* handler, uint64_t milliseconds) = 0;
    virtual tresult VST3_METHOD unregisterTimer(ITimerHandler* handler) = 0;
};

struct IPlugView;

struct IPlugFrame : FUnknown {
    virtual tresult VST3_METHOD resizeView(IPlugView* view, ViewRect* newSize) = 0;
};

struct IPlugView : FUnknown {
    virtual tresult VST3_METHOD isPlatformTypeSupported(const char* type) = 0;
    virtual tresult VST3_METHOD attached(void* parent, const char* type) = 0;
    virtual tresult VST3_METHOD removed() = 0;
    virtual tresult VST3_METHOD onWheel(float distance) = 0;
    virtual tresult VST3_METHOD onKeyDown(char16_t key, int16_t keyCode, int16_t modifiers) = 0;
    virtual tresult VST3_METHOD onKeyUp(char16_t key, int16_t keyCode, int16_t modifiers) = 0;
    virtual tresult VST3_METHOD getSize(ViewRect* size) = 0;
    virtual tresult VST3_METHOD onSize(ViewRect* newSize) = 0;
    virtual tresult VST3_METHOD onFocus(TBool state) = 0;
    virtual tresult VST3_METHOD setFrame(IPlugFrame* frame) = 0;
    virtual tresult VST3_METHOD canResize() = 0;
    virtual tresult VST3_METHOD checkSizeConstraint(ViewRect* rect) = 0;
};

struct IEditController : IPluginBase {
    virtual tresult VST3_METHOD setComponentState(IBStream* state) = 0;
    virtual tresult VST3_METHOD setState(IBStream* state) = 0;
    virtual tresult VST3_METHOD getState(IBStream* state) = 0;
    virtual int32_t VST3_METHOD getParameterCount() = 0;
    virtual tresult VST3_METHOD getParameterInfo(int32_t index, ParameterInfo* info) = 0;
    virtual tresult VST3_METHOD getParamStringByValue(uint32_t id, double valueNormalized, char16_t* string) = 0;
    virtual tresult VST3_METHOD getParamValueByString(uint32_t id, char16_t* string, double* valueNormalized) = 0;
    virtual double VST3_METHOD normalizedParamToPlain(uint32_t id, double valueNormalized) = 0;
    virtual double VST3_METHOD plainParamToNormalized(uint32_t id, double plainValue) = 0;
    virtual double VST3_METHOD getParamNormalized(uint32_t id) = 0;
    virtual tresult VST3_METHOD setParamNormalized(uint32_t id, double value) = 0;
    virtual tresult VST3_METHOD setComponentHandler(IComponentHandler* handler) = 0;
    virtual IPlugView* VST3_METHOD createView(const char* name) = 0;
};

// Units and their program lists, on the controller.
struct IUnitInfo : FUnknown {
    virtual int32_t VST3_METHOD getUnitCount() = 0;
    virtual tresult VST3_METHOD getUnitInfo(int32_t unitIndex, UnitInfo* info) = 0;
    virtual int32_t VST3_METHOD getProgramListCount() = 0;
    virtual tresult VST3_METHOD getProgramListInfo(int32_t listIndex, ProgramListInfo* info) = 0;
    virtual tresult VST3_METHOD getProgramName(int32_t listId, int32_t programIndex, char16_t* name) = 0;
    virtual tresult VST3_METHOD getProgramInfo(int32_t listId, int32_t programIndex, const char* attribute, char16_t* value) = 0;
    virtual tresult VST3_METHOD hasProgramPitchNames(int32_t listId, int32_t programIndex) = 0;
    virtual tresult VST3_METHOD getProgramPitchName(int32_t listId, int32_t programIndex, int16_t pitch, char16_t* name) = 0;
    virtual int32_t VST3_METHOD getSelectedUnit() = 0;
    virtual tresult VST3_METHOD selectUnit(int32_t unitId) = 0;
    virtual tresult VST3_METHOD getUnitByBus(int32_t type, int32_t direction, int32_t busIndex, int32_t channel, int32_t* unitId) = 0;
    virtual tresult VST3_METHOD setUnitProgramData(int32_t listOrUnitId, int32_t programIndex, IBStream* data) = 0;
};

struct IConnectionPoint : FUnknown {
    virtual tresult VST3_METHOD connect(IConnectionPoint* other) = 0;
    virtual tresult VST3_METHOD disconnect(IConnectionPoint* other) = 0;
    virtual tresult VST3_METHOD notify(FUnknown* message) = 0;
};

struct IParamValueQueue : FUnknown {
    virtual uint32_t VST3_METHOD getParameterId() = 0;
    virtual int32_t VST3_METHOD getPointCount() = 0;
    virtual tresult VST3_METHOD getPoint(int32_t index, int32_t* sampleOffset, double* value) = 0;
    virtual tresult VST3_METHOD addPoint(int32_t sampleOffset, double value, int32_t* index) = 0;
};

struct IParameterChanges : FUnknown {
    virtual int32_t VST3_METHOD getParameterCount() = 0;
    virtual IParamValueQueue* VST3_METHOD getParameterData(int32_t index) = 0;
    virtual IParamValueQueue* VST3_METHOD addParameterData(const uint32_t* id, int32_t* index) = 0;
};

struct IEventList : FUnknown {
    virtual int32_t VST3_METHOD getEventCount() = 0;
    virtual tresult VST3_METHOD getEvent(int32_t index, Event* event) = 0;
    virtual tresult VST3_METHOD addEvent(Event* event) = 0;
};

struct IAttributeList : FUnknown {
    virtual tresult VST3_METHOD setInt(const char* key, int64_t value) = 0;
    virtual tresult VST3_METHOD getInt(const char* key, int64_t* value) = 0;
    virtual tresult VST3_METHOD setFloat(const char* key, double value) = 0;
    virtual tresult VST3_METHOD getFloat(const char* key, double* value) = 0;
    virtual tresult VST3_METHOD setString(const char* key, const char16_t* text) = 0;
    virtual tresult VST3_METHOD getString(const char* key, char16_t* text, uint32_t sizeInBytes) = 0;
    virtual tresult VST3_METHOD setBinary(const char* key, const void* data, uint32_t size) = 0;
    virtual tresult VST3_METHOD getBinary(const char* key, const void** data, uint32_t* size) = 0;
};

struct IMessage : FUnknown {
    virtual const char* VST3_METHOD getMessageID() = 0;
    virtual void VST3_METHOD setMessageID(const char* id) = 0;
    virtual IAttributeList* VST3_METHOD getAttributes() = 0;
};

struct IHostApplication : FUnknown {
    virtual tresult VST3_METHOD getName(char16_t* name) = 0;
    virtual tresult VST3_METHOD createInstance(uint8_t* cid, uint8_t* iid, void** object) = 0;
};

// What a module exports.
using GetFactoryFunction = IPluginFactory* (VST3_METHOD*)();

}  // namespace vst3
