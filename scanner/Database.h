#pragma once
// The plug-in database: a strict JSON file with one record per plug-in file, and a journal
// beside it. Each finished plug-in is appended to the journal as one JSON line, so saving
// costs the same for the 10,000th plug-in as for the first and a killed scan loses nothing
// it finished. The journal is folded into the database at the end of a run, and at the start
// of the next one when a run was cut short. The database itself is only ever replaced whole:
// written to a new file beside it, flushed, then moved over it with write-through.
//
// One scan at a time: a lock file beside the database is held exclusively for the whole run;
// the system lets go of it with the process, however that ends.
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "host/NativeText.h"
#include "scanner/Records.h"
#include "scanner/SystemFiles.h"

enum class DatabaseOpening { kOpened, kInUse, kFailed };

class CDatabase {
public:
    CDatabase() = default;
    CDatabase(const CDatabase&) = delete;
    CDatabase& operator=(const CDatabase&) = delete;

    // Takes the lock, reads the database (a missing file is a new one) and folds in the journal
    // a cut-short run left. `problem` names the path and the system's reason on failure.
    DatabaseOpening Open(const NativeText& path, std::string& problem);
    // Records dropped because they were damaged, one line each; their files are scanned again.
    const std::vector<std::string>& Warnings() const { return warnings; }

    const Json* Find(const std::string& key) const;
    // Every record kept, by path key.
    const std::map<std::string, Json>& Records() const { return records; }
    // Appends the record to the journal. May be called from several threads at once.
    bool Record(const Json& record, std::string& problem);
    // Writes the database with everything recorded, then empties the journal.
    bool Fold(std::string& problem);

private:
    bool ReadDatabase(std::string& problem);
    void ReadJournal();
    void Keep(const Json& record, const std::string& origin);

    NativeText path, journalPath;
    CSystemFile lockFile;
    CSystemFile journal;
    bool journalComplete = true;  // every record of this run reached the journal
    std::mutex journalLock;
    std::map<std::string, Json> records;  // by path key, so the file's order is stable
    std::vector<std::string> warnings;
};

// The text of the database file, as Fold writes it.
std::string DatabaseText(const std::map<std::string, Json>& records);
