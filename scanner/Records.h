#pragma once
// The record of one scanned plug-in file, as the database keeps it and the outputs print it:
// strict JSON, the same whether it was scanned now or taken from the database.
#include <nlohmann/json.hpp>

#include "host/PluginScanner.h"
#include "scanner/PluginFiles.h"

using Json = nlohmann::ordered_json;

Json PluginRecord(const CPluginFile& file, const CPluginScan& scan);

// Every status in a record: the file's own and its sub-plug-ins'.
std::vector<std::string> RecordStatuses(const Json& record);

bool RecordIsCurrent(const Json& record, const CPluginFile& file);

// Whether a record read back from the database has every field the scanner uses, of the
// right type; `problem` says which one does not.
bool RecordIsWellFormed(const Json& record, std::string& problem);

// A record made without scanning, for a file that cannot be opened.
Json UnreadableFileRecord(const CPluginFile& file);

// The verdicts that stay until the file changes or --retry-failed: crashed, timed out, failed.
bool RecordIsKnownBad(const Json& record);
