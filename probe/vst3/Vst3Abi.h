#pragma once
// The parts of the VST 3 binary interface that the scanner uses, declared from the published
// ABI: COM-style interfaces (three FUnknown entries first, each method taking the object
// first), the factory and its class records, the component and its buses, and the host
// context. Every method is __stdcall on Windows: on x86 that is not the C++ default (thiscall),
// so each is declared with it. Interface ids are 16 bytes in the COM GUID layout.
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
constexpr tresult kNoInterface = static_cast<tresult>(0x80004002);
constexpr tresult kNotImplemented = static_cast<tresult>(0x80004001);

// The ids of the interfaces we ask for, as GUID text.
constexpr CTuid kFUnknownId = MakeTuid(0x00000000, 0x00000000, 0xC0000000, 0x00000046);
constexpr CTuid kPluginBaseId = MakeTuid(0x22888DDB, 0x156E45AE, 0x8358B348, 0x08190625);
constexpr CTuid kPluginFactoryId = MakeTuid(0x7A4D811C, 0x52114A1F, 0xAED9D2EE, 0x0B43BF9F);
constexpr CTuid kPluginFactory2Id = MakeTuid(0x0007B650, 0xF24B4C0B, 0xA464EDB9, 0xF00B2ABB);
constexpr CTuid kPluginFactory3Id = MakeTuid(0x4555A2AB, 0xC1234E57, 0x9B122910, 0x36878931);
constexpr CTuid kComponentId = MakeTuid(0xE831FF31, 0xF2D54301, 0x928EBBEE, 0x25697802);
constexpr CTuid kHostApplicationId = MakeTuid(0x58E595CC, 0xDB2D4969, 0x8B6AAF8C, 0x36A664E5);

constexpr char kAudioModuleClass[] = "Audio Module Class";

enum MediaType : int32_t { kAudio = 0, kEvent = 1 };
enum BusDirection : int32_t { kInput = 0, kOutput = 1 };
enum BusType : int32_t { kMain = 0, kAux = 1 };
// BusInfo flags: a control-voltage bus carries no audio.
constexpr uint32_t kBusIsControlVoltage = 2;

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

struct IHostApplication : FUnknown {
    virtual tresult VST3_METHOD getName(char16_t* name) = 0;
    virtual tresult VST3_METHOD createInstance(uint8_t* cid, uint8_t* iid, void** object) = 0;
};

// What a module exports.
using GetFactoryFunction = IPluginFactory* (VST3_METHOD*)();
using InitDllFunction = bool (*)();
using ExitDllFunction = bool (*)();

}  // namespace vst3
