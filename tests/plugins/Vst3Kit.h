#pragma once
// What the VST 3 test modules share: a factory that lists its classes from a table, and a
// component with the buses its class asks for, written from our own declarations of the ABI.
#include <cstdint>

#include "probe/vst3/Vst3Abi.h"

#include "tests/plugins/ZooExport.h"

// The module's start and end: InitDll and ExitDll on Windows, ModuleEntry and ModuleExit on Linux.
#if defined(_WIN32)
#define ZOO_VST3_MODULE_ENTRY ZOO_EXPORT bool InitDll()
#define ZOO_VST3_MODULE_EXIT ZOO_EXPORT bool ExitDll()
#else
#define ZOO_VST3_MODULE_ENTRY ZOO_EXPORT bool ModuleEntry(void*)
#define ZOO_VST3_MODULE_EXIT ZOO_EXPORT bool ModuleExit()
#endif

struct CZooVst3Class {
    CTuid cid;
    const char* category;  // "Audio Module Class", "Component Controller Class", ...
    const char* name;
    const char* subCategories;
    int32_t inputs, outputs;  // channels of the main audio buses; 0: no such bus
    bool eventIn, eventOut;   // an event bus each way
    int32_t claimedBuses = 0;  // what getBusCount says of audio buses when not 0; only the first exists
    int32_t auxOutputs = 0;    // stereo aux output buses after the main one
    bool controlVoltage = false;  // the main output bus carries control voltage
};

struct CZooVst3Module {
    const char* vendor;
    int factoryVersion;  // 1, 2 or 3: the factory interfaces it offers
    const CZooVst3Class* classes;
    int32_t count;
    void (*onInitialize)() = nullptr;  // called in every component's initialize
    int32_t claimedCount = 0;          // what countClasses says when not 0; only `count` exist
};

vst3::IPluginFactory* CreateZooFactory(const CZooVst3Module& module);
