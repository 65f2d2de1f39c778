#pragma once
// What the CLAP test files share: a factory over a table of plug-ins, each with the audio and
// note ports it asks for, written from our own declarations of the ABI. A file defines its
// table and its clap_entry; the kit gives the rest.
#include <cstdint>

#include "probe/clap/ClapAbi.h"

#include "tests/plugins/ZooExport.h"

struct CZooClapPlugin {
    const char* id;
    const char* name;
    const char* const* features;
    uint32_t inputs, outputs;  // channels of the main audio ports; 0: no such port
    bool noteIn, noteOut;
    bool (*onInit)();          // the behaviour a file exists to show, or null
    uint32_t auxOutputs = 0;   // stereo output ports after the main one
};

// Each file's table.
extern const CZooClapPlugin ZooClapPlugins[];
extern const uint32_t ZooClapPluginCount;

bool ZooEntryInit(const char* path);
void ZooEntryDeinit();
const void* ZooGetFactory(const char* id);
