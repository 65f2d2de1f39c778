#pragma once
// The VST 3 probe: one request names a module (a bundle folder, the binary in one, or a single
// file), and every class its factory lists is read; each audio module class is created,
// initialized with our host context, asked for its buses, terminated and released.
#include <string>

#include "report/ModuleResult.h"

// False, with `result.error`, when the module could not be scanned at all.
bool ScanVst3Module(const std::u16string& path, CModuleResult& result);
