// tessarine-scan: scans plug-in files with scan servers, remembers what it found in a
// database, and prints a table, JSON or CSV.
#include "scanner/Entry.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <exception>
#include <thread>

#include "host/Paths.h"
#include "host/PluginScanner.h"
#include "host/ServerFolder.h"
#include "scanner/CheckRecords.h"
#include "scanner/Console.h"
#include "scanner/Database.h"
#include "scanner/Defaults.h"
#include "scanner/JunitReport.h"
#include "scanner/Options.h"
#include "scanner/PathKeys.h"
#include "scanner/PluginFiles.h"
#include "scanner/Progress.h"
#include "scanner/StandardFolders.h"
#include "scanner/ReportPage.h"
#include "host/SafeText.h"

std::atomic<bool> StopRequested{false};

namespace {

void Fail(const std::string& message)
{
    const std::string line = "tessarine-scan: " + TerminalSafe(message) + "\n";
    fwrite(line.data(), 1, line.size(), stderr);
    fflush(stderr);
}

// What the host could not do is no verdict on the plug-in: such a result is never kept.
bool HasHostFailure(const CPluginScan& scan)
{
    if (scan.outcome.hostFailure) return true;
    for (const auto& sub : scan.subPlugins)
        if (sub.outcome.hostFailure) return true;
    return false;
}

// The page of what a database knows, scanning nothing.
int PageOfDatabase(const CScanOptions& options)
{
    CDatabase database;
    std::string problem;
    switch (database.Open(NormalPath(FromUtf8(options.database)), problem)) {
    case DatabaseOpening::kOpened: break;
    case DatabaseOpening::kInUse: Fail("database in use by another scan: " + options.database); return kExitBadUsage;
    case DatabaseOpening::kFailed: Fail(problem); return kExitBadUsage;
    }
    for (const auto& warning : database.Warnings()) Fail("warning: " + warning);
    std::vector<Json> records;
    for (const auto& [key, record] : database.Records()) records.push_back(record);
    if (!WriteReportPage(NormalPath(FromUtf8(options.reportPage)), records, {NowIso8601(), -1}, problem)) {
        Fail(problem);
        return kExitBadUsage;
    }
    return kExitAllOk;
}

// The page must never be written over the database, its journal or its lock: compared by the
// key two spellings of one path share.
bool PageWouldOverwriteDatabase(const CScanOptions& options)
{
    if (options.reportPage.empty() || options.database.empty()) return false;
    const std::string page = PathKey(ToUtf8(NormalPath(FromUtf8(options.reportPage))));
    const std::string database = ToUtf8(NormalPath(FromUtf8(options.database)));
    for (const char* suffix : {"", ".journal", ".lock"})
        if (page == PathKey(database + suffix)) return true;
    return false;
}

// The standard folders, with their formats, sources and whether each exists.
int ListFolders(const CScanOptions& options)
{
    std::string list;
    for (const CStandardFolder& folder : StandardFolders(options.formats)) {
        std::string formats;
        for (const auto& [chosen, name] : {std::pair{folder.formats.vst2, "vst2"}, std::pair{folder.formats.vst3, "vst3"},
                                          std::pair{folder.formats.clap, "clap"}})
            if (chosen) formats += (formats.empty() ? "" : ",") + std::string(name);
        list += std::string(folder.exists ? "exists   " : "missing  ") + formats + "  " + TerminalSafe(folder.path) + "  (" +
                folder.source + ")\n";
    }
    fwrite(list.data(), 1, list.size(), stdout);
    return kExitAllOk;
}

int Scan(const CScanOptions& options, bool terminal)
{
    if (options.listFolders) return ListFolders(options);
    if (PageWouldOverwriteDatabase(options)) {
        Fail("--report names the database or one of its files: " + options.reportPage);
        return kExitBadUsage;
    }
    if (options.databaseOnly) return PageOfDatabase(options);
    const auto began = std::chrono::steady_clock::now();
    CPluginScannerOptions scanner;
    scanner.jobs = options.jobs > 0 ? options.jobs : static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    scanner.server.serverPath = options.server.empty() ? JoinPath(ProgramFolder(), FromUtf8(kServerName))
                                                       : NormalPath(FromUtf8(options.server));
    if (!options.serverX86.empty()) scanner.serverPathX86 = NormalPath(FromUtf8(options.serverX86));
    else if (kServerNameX86[0] != '\0') scanner.serverPathX86 = JoinPath(ProgramFolder(), FromUtf8(kServerNameX86));
    scanner.server.dumpFolder = options.dumpFolder.empty() ? DefaultDumpFolder() : NormalPath(FromUtf8(options.dumpFolder));
    scanner.server.timeout = std::chrono::milliseconds(static_cast<long long>(options.timeoutSeconds * 1000));
    scanner.server.dialogs = options.dialogs;
    scanner.server.dialogGrace = std::chrono::milliseconds(static_cast<long long>(options.dialogGraceSeconds * 1000));
    scanner.check = options.check;
    scanner.checkEditor = options.checkEditor;
    if (!PathExists(scanner.server.serverPath)) {
        Fail("scan server not found: " + ToUtf8(scanner.server.serverPath));
        return kExitBadUsage;
    }

    std::vector<CPluginFile> files;
    std::vector<CUnlistedFolder> unlisted;
    std::string problem;
    std::vector<CSearchRoot> roots;
    for (const auto& path : options.paths) roots.push_back({path, options.formats});
    // No path: the folders where installers put plug-ins, each for its own formats.
    if (roots.empty()) {
        for (const CStandardFolder& folder : StandardFolders(options.formats))
            if (folder.exists) {
                roots.push_back({folder.path, folder.formats});
                Fail("searching " + folder.path + " (" + folder.source + ")");
            }
        if (roots.empty()) Fail("no standard plug-in folder exists (see --list-folders)");
    }
    if (!FindPluginFiles(roots, files, problem, &unlisted)) {
        Fail(problem);
        return kExitBadUsage;
    }
    CDatabase database;
    const bool useDatabase = !options.database.empty();
    if (useDatabase) {
        switch (database.Open(NormalPath(FromUtf8(options.database)), problem)) {
        case DatabaseOpening::kOpened: break;
        case DatabaseOpening::kInUse: Fail("database in use by another scan: " + options.database); return kExitBadUsage;
        case DatabaseOpening::kFailed: Fail(problem); return kExitBadUsage;
        }
        for (const auto& warning : database.Warnings()) Fail("warning: " + warning);
    }

    // Unchanged files (same size and time) come from the database, known bad ones too unless
    // asked for again; files that cannot be opened are failed without a server; the rest is scanned.
    std::vector<Json> records(files.size());
    std::vector<Json> earlier(files.size());  // of files scanned again only to be checked: their checks so far
    std::vector<size_t> toScan;
    std::vector<size_t> unreadable;
    size_t unchanged = 0, knownBad = 0;
    for (size_t i = 0; i < files.size(); ++i) {
        if (!files[i].problem.empty()) {
            records[i] = UnreadableFileRecord(files[i]);
            unreadable.push_back(i);
            continue;
        }
        const Json* known = useDatabase && !options.rescan ? database.Find(files[i].key) : nullptr;
        const bool bad = known && RecordIsKnownBad(*known);
        // A file scanned before without --check is scanned again and checked; its checks so far are kept.
        const bool unchecked = known && options.check && RecordNeedsCheck(*known, options.retryFailed);
        if (known && RecordIsCurrent(*known, files[i]) && unchecked) earlier[i] = *known;
        if (known && RecordIsCurrent(*known, files[i]) && !(bad && options.retryFailed) && !unchecked) {
            records[i] = *known;
            if (bad) ++knownBad;
            else ++unchanged;
        } else {
            toScan.push_back(i);
        }
    }

    CProgress progress(toScan.size() + unreadable.size(), terminal);
    for (const auto& folder : unlisted) progress.Unlistable(folder.path, folder.problem);
    progress.Unchanged(unchanged, knownBad);
    for (size_t i : unreadable) progress.Finished(records[i]);
    std::vector<std::string> paths;
    for (size_t i : toScan) paths.push_back(files[i].path);
    std::atomic<bool> saveFailed{false};
    CPluginScannerCallbacks callbacks;
    callbacks.started = [&](size_t, const std::string& path) { progress.Started(path); };
    callbacks.finishedOnThread = [&](size_t index, const CPluginScan& scan) {
        if (StopRequested) return;
        const size_t file = toScan[index];
        records[file] = PluginRecord(files[file], scan);
        if (!earlier[file].is_null()) KeepChecks(records[file], earlier[file]);
        std::string why;
        if (useDatabase && !HasHostFailure(scan) && !database.Record(records[file], why) && !saveFailed.exchange(true))
            Fail(why);
    };
    callbacks.finished = [&](size_t index, const CPluginScan&) {
        if (!StopRequested) progress.Finished(records[toScan[index]]);
    };
    callbacks.wantsCheck = [&](size_t index, const CPluginScan& plugin) {
        const Json& before = earlier[toScan[index]];
        return before.is_null() || !CheckIsKept(before, plugin.request, options.retryFailed);
    };
    callbacks.revised = [&](size_t index, const CPluginScan&) { progress.Revised(records[toScan[index]]); };
    callbacks.unexplained = [&](const CUnexplainedEnd& end) {
        progress.Unexplained(end.machine, end.suspects, end.description, ToUtf8(end.dumpFile), end.why);
    };
    ScanPlugins(paths, scanner, callbacks);
    // The signal that stopped the run ends the process: the journal keeps what came before it.
    while (StopRequested) std::this_thread::sleep_for(std::chrono::seconds(1));
    if (useDatabase && !database.Fold(problem)) {
        Fail(problem);
        saveFailed = true;
    }

    std::string output;
    switch (options.format) {
    case OutputFormat::kTable: output = FormatTable(records); break;
    case OutputFormat::kJson: output = FormatJson(records); break;
    case OutputFormat::kCsv: output = FormatCsv(records); break;
    case OutputFormat::kJunit: output = FormatJunit(records, options.strict); break;
    }
    fwrite(output.data(), 1, output.size(), stdout);
    fflush(stdout);
    progress.Summary(records, unchanged, knownBad);
    if (!options.reportPage.empty()) {
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
        if (!WriteReportPage(NormalPath(FromUtf8(options.reportPage)), records, {NowIso8601(), seconds}, problem)) {
            Fail(problem);
            saveFailed = true;
        }
    }

    bool allOk = !saveFailed;
    for (const auto& record : records) allOk &= !RecordIsKnownBad(record) && !(options.check && RecordHasBadCheck(record, options.strict));
    return allOk ? kExitAllOk : kExitSomeFailed;
}

}  // namespace

int RunScanner(const std::vector<std::string>& arguments)
{
    try {
        const bool terminal = PrepareStandardStreams();
        CScanOptions options;
        if (const int exitCode = ParseScanOptions(arguments, options); exitCode >= 0) return exitCode;
        return Scan(options, terminal);
    } catch (const std::exception& e) {
        Fail(std::string("internal error: ") + e.what());
    } catch (...) {
        Fail("internal error");
    }
    return kExitInternalError;
}
