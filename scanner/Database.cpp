#include "scanner/Database.h"

#include "scanner/Version.h"

#include "scanner/FileReplace.h"
#include "scanner/PathKeys.h"
#include "host/SafeText.h"

namespace {

std::string Quoted(const NativeText& path) { return "\"" + ToUtf8(path) + "\""; }

std::string RecordLine(const Json& record)
{
    return EscapeInvisibleInJson(record.dump(-1, ' ', false, Json::error_handler_t::replace)) + "\n";
}

}  // namespace

std::string DatabaseText(const std::map<std::string, Json>& records)
{
    Json document{{"format", kDatabaseFormat}, {"scanner", std::string("tessarine-scan ") + kScannerVersion},
                  {"plugins", Json::array()}};
    for (const auto& [key, record] : records) document["plugins"].push_back(record);
    // A text that is not valid UTF-8 is replaced rather than failing the whole database.
    return EscapeInvisibleInJson(document.dump(2, ' ', false, Json::error_handler_t::replace)) + "\n";
}

DatabaseOpening CDatabase::Open(const NativeText& file, std::string& problem)
{
    path = file;
    journalPath = path + FromUtf8(".journal");
    unsigned long error = 0;
    switch (LockExclusively(path + FromUtf8(".lock"), lockFile, error)) {
    case LockOutcome::kLocked: break;
    case LockOutcome::kInUse: return DatabaseOpening::kInUse;
    case LockOutcome::kFailed:
        problem = "cannot lock the database " + Quoted(path) + ": " + SystemErrorText(error);
        return DatabaseOpening::kFailed;
    }
    if (!ReadDatabase(problem)) return DatabaseOpening::kFailed;
    ReadJournal();
    return Fold(problem) ? DatabaseOpening::kOpened : DatabaseOpening::kFailed;
}

bool CDatabase::ReadDatabase(std::string& problem)
{
    std::string text;
    unsigned long error = 0;
    switch (ReadWholeFile(path, text, error)) {
    case ReadOutcome::kRead: break;
    // Only a database that is not there yet is a new one; any other failure must not lead to
    // a database written anew over one we could not read.
    case ReadOutcome::kMissing: return true;
    case ReadOutcome::kUnopened:
        problem = "cannot open the database " + Quoted(path) + ": " + SystemErrorText(error);
        return false;
    case ReadOutcome::kFailed:
        problem = "cannot read the database " + Quoted(path) + ": " + SystemErrorText(error);
        return false;
    }
    const Json document = Json::parse(text, nullptr, false);
    if (document.is_discarded() || !document.is_object() || !document.contains("plugins") ||
        !document["plugins"].is_array()) {
        problem = "the file " + Quoted(path) + " is not a plug-in database";
        return false;
    }
    // A database of a later format may hold what this scanner would drop: it is left as it is.
    if (document.contains("format") && (!document["format"].is_number_integer() || document["format"].get<long long>() > kDatabaseFormat)) {
        const bool newer = document["format"].is_number_integer();
        problem = "the database " + Quoted(path) + " has format " + document["format"].dump() +
                  (newer ? ", written by a newer tessarine-scan" : ", which no tessarine-scan writes") + "; this one (" +
                  kScannerVersion + ") reads formats up to " + std::to_string(kDatabaseFormat) + ": it is left untouched";
        return false;
    }
    size_t position = 0;
    for (const auto& record : document["plugins"]) Keep(record, "database record " + std::to_string(++position));
    return true;
}

void CDatabase::ReadJournal()
{
    std::string text;
    unsigned long error = 0;
    const ReadOutcome read = ReadWholeFile(journalPath, text, error);
    if (read == ReadOutcome::kMissing || read == ReadOutcome::kUnopened) return;
    if (read == ReadOutcome::kFailed) warnings.push_back("cannot read the journal: " + SystemErrorText(error));
    size_t line = 0;
    for (size_t start = 0; start < text.size();) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        ++line;
        // A kill in the middle of a write leaves the last line cut short: only that one is lost.
        const Json record = Json::parse(text.substr(start, end - start), nullptr, false);
        const std::string origin = "journal line " + std::to_string(line);
        if (record.is_discarded()) warnings.push_back(origin + " is not JSON; dropped, its file is scanned again");
        else Keep(record, origin);
        start = end + 1;
    }
}

void CDatabase::Keep(const Json& record, const std::string& origin)
{
    std::string problem;
    if (!RecordIsWellFormed(record, problem)) {
        warnings.push_back(origin + ": " + problem + "; dropped, its file is scanned again");
        return;
    }
    records[PathKey(record["path"].get<std::string>())] = record;
}

const Json* CDatabase::Find(const std::string& key) const
{
    const auto found = records.find(key);
    return found == records.end() ? nullptr : &found->second;
}

bool CDatabase::Record(const Json& record, std::string& problem)
{
    const std::string line = RecordLine(record);
    const std::string key = PathKey(record["path"].get<std::string>());
    std::lock_guard<std::mutex> guard(journalLock);
    records[key] = record;
    unsigned long error = 0;
    // One write per record, straight to the system: a killed scan keeps every line written.
    if ((!journal.IsOpen() && !OpenForAppending(journalPath, journal, error)) || !AppendToFile(journal, line, error)) {
        problem = "cannot write the journal of the database " + Quoted(path) + ": " + SystemErrorText(error);
        journalComplete = false;
        return false;
    }
    return true;
}

bool CDatabase::Fold(std::string& problem)
{
    std::lock_guard<std::mutex> guard(journalLock);
    const bool journalExists = FileExists(journalPath);
    const bool databaseExists = FileExists(path);
    if (!journalExists && databaseExists) return true;  // nothing new since it was written

    unsigned long error = 0;
    if (!ReplaceFileWhole(path, DatabaseText(records), error)) {
        problem = "cannot save the database " + Quoted(path) + ": " + SystemErrorText(error);
        // Only what reached the journal is kept for the next run to fold in.
        if (journalComplete) problem += "; its new records stay in " + Quoted(journalPath);
        else problem += "; its journal could not be written either, so this run's new records are not kept: the database is as it was";
        return false;
    }
    journal.Close();
    RemoveFile(journalPath);
    return true;
}
