#pragma once
// A plug-in's check as records keep it: a "check" object beside the plug-in's scan, in the
// file's record for a file of one plug-in, in each sub-plug-in's otherwise.
#include <vector>

#include "scanner/Records.h"

Json CheckJson(const CScanOutcome& check);
bool CheckIsWellFormed(const Json& check, const std::string& where, std::string& problem);

// The objects of a record that are plug-ins and may hold a check: its sub-plug-ins, or the
// file itself when it has none.
std::vector<const Json*> RecordPlugins(const Json& record);
// The key a plug-in's object is found by: a sub-plug-in's request, or the file's path.
std::string PluginKey(const Json& plugin);

// A check's status as kept, or nothing for a plug-in without one.
std::optional<CheckStatus> KeptCheckStatus(const Json& plugin);
// Whether a record kept from an earlier run lacks a check that --check should add: a plug-in
// that scanned ok with no check, or (with `retryFailed`) one whose check was bad.
bool RecordNeedsCheck(const Json& record, bool retryFailed);
// With `strict`, a check that passed with warnings is bad too.
bool RecordHasBadCheck(const Json& record, bool strict = false);
// Whether the plug-in of that key in `earlier` has a check to keep rather than check again.
bool CheckIsKept(const Json& earlier, const std::string& key, bool retryFailed);
// Copies into `record` the checks `earlier` had of plug-ins that were not checked again.
void KeepChecks(Json& record, const Json& earlier);
