#pragma once
#include <string>

#include "report/CheckResult.h"

// Checks the plug-in `id` of the CLAP file at `path`. False, with `error` set, when the file
// holds no such plug-in or it could not be created.
bool CheckClapPlugin(const std::u16string& path, const std::string& id, bool withEditor, CCheckResult& result,
                     std::u16string& error);
