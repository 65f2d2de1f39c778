#pragma once
// The CLAP probe: one request names a CLAP file. Its entry is checked and initialized, and
// every plug-in its factory lists is created with our host, initialized, asked for its audio
// and note ports, and destroyed.
#include <string>

#include "report/ModuleResult.h"

// False, with `result.error`, when the file could not be scanned at all.
bool ScanClapFile(const std::u16string& path, CModuleResult& result);
