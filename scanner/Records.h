#pragma once
// The record of one scanned plug-in file, as the database keeps it and the outputs print it:
// strict JSON, the same whether it was scanned now or taken from the database.
#include <nlohmann/json.hpp>

#include "host/CheckVerdict.h"
#include "host/PluginScanner.h"
#include "scanner/PluginFiles.h"

using Json = nlohmann::ordered_json;

Json PluginRecord(const CPluginFile& file, const CPluginScan& scan);
// What a crash left: its exit code, dump, exception and the library it was in, and under
// `afterKey` whether it came after the answer.
void AddCrashFacts(Json& json, const CScanOutcome& outcome, const char* afterKey);
// The last steps the server took, at most three.
Json LastSteps(const CScanOutcome& outcome);
// The dialogs a scan or a check saw, each with its picture or why it has none.
Json DialogsJson(const std::vector<CDialogRecord>& dialogs);

// A text field of a record, or "" when it has none, or none that is a text.
std::string RecordText(const Json& record, const char* key);
// A record's format; records kept before there were other formats are VST 2's.
std::string RecordFormat(const Json& record);

// Every status in a record: the file's own and its sub-plug-ins'.
std::vector<std::string> RecordStatuses(const Json& record);

bool RecordIsCurrent(const Json& record, const CPluginFile& file);

// No record the scanner writes nests deeper than this; a deeper one is damaged.
constexpr size_t kDeepestRecord = 64;

// Whether a record read back from the database has every field the scanner uses, of the
// right type, and nests no deeper than it should; `problem` says what is wrong.
bool RecordIsWellFormed(const Json& record, std::string& problem);

// A record made without scanning, for a file that cannot be opened.
Json UnreadableFileRecord(const CPluginFile& file);

// The verdicts that stay until the file changes or --retry-failed: crashed, timed out, failed.
bool RecordIsKnownBad(const Json& record);
