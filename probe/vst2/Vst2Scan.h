#pragma once
#include "probe/PluginLibrary.h"

#include "report/ScanResult.h"

// Creates the plug-in in `module` with our host callback, asks for its identity and
// capabilities, lists a shell's sub-plug-ins and closes it. False, with the record's error
// text set, when the library holds no usable VST 2 plug-in.
bool ProbePlugin(PluginModule module, CScanResult& result);
