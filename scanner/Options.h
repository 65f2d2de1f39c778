#pragma once
#include <string>
#include <vector>

#include "host/DialogRecord.h"
#include "scanner/Formats.h"
#include "scanner/PluginFiles.h"

struct CScanOptions {
    std::vector<std::string> paths;
    int jobs = 0;  // 0: the number of cores
    double timeoutSeconds = 30;
    std::string database;
    bool rescan = false;
    bool retryFailed = false;
    bool check = false;        // --check: every plug-in that scans ok is checked too
    bool checkEditor = false;  // --check-editor: its editor opened as well
    bool strict = false;       // --strict: a check's warnings count as failures
    OutputFormat format = OutputFormat::kTable;
    std::string dumpFolder;
    std::string server;
    std::string serverX86;
    DialogPolicy dialogs = DialogPolicy::kReport;
    double dialogGraceSeconds = 2;
    CFormatChoice formats;
    std::string reportPage;  // --report: the HTML page written at the end
    bool listFolders = false;  // --list-folders: print the standard folders, scan nothing
    bool databaseOnly = false; // --db-only: the page of the database alone, scan nothing
};

constexpr int kExitAllOk = 0;
constexpr int kExitSomeFailed = 1;
constexpr int kExitBadUsage = 2;
constexpr int kExitInternalError = 3;

// Parses the command line (UTF-8). Returns -1 to go on, or the exit code when it printed help,
// the version or a usage error.
int ParseScanOptions(const std::vector<std::string>& arguments, CScanOptions& options);
