#pragma once
#include <string>

#include "report/CheckResult.h"

// Checks the class `classId` (32 hex digits) of the VST 3 module at `path`. False, with `error`
// set, when the module holds no such class or it could not be created.
bool CheckVst3Plugin(const std::u16string& path, const std::u16string& classId, bool withEditor, CCheckResult& result,
                     std::u16string& error);
