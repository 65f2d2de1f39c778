#pragma once
#include <string>

#include "report/CheckResult.h"

// Checks the VST 2 plug-in in `libraryPath` (a shell's sub-plug-in when `shellId` is not 0).
// False, with `error` set, when there is no plug-in to check.
bool CheckVst2Plugin(const std::u16string& libraryPath, int32_t shellId, bool withEditor, CCheckResult& result,
                     std::u16string& error);
