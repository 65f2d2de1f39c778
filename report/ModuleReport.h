#pragma once
// The ">" report of a VST 3 module or a CLAP file: the same line protocol as a VST 2 report,
// one line per field, with "format" first and one line per class or plug-in, each a complete
// object, so that a host reads it line by line as it reads the VST 2 report.
#include "report/ModuleResult.h"

void WriteModuleReport(const CModuleResult& result);
