// tessarine-scan: scans plug-in files with scan servers, remembers what it found in a
// database, and prints a table, JSON or CSV.
#include <windows.h>

#include <cstdio>
#include <thread>

#include "host/Paths.h"
#include "host/PluginScanner.h"
#include "scanner/Database.h"
#include "scanner/Options.h"
#include "scanner/PluginFiles.h"
#include "scanner/Progress.h"

namespace {

std::wstring DefaultDumpFolder()
{
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    return std::wstring(temp) + L"tessarine-scan-dumps";
}

std::wstring FullPath(const std::string& path)
{
    wchar_t full[32768];
    const DWORD length = GetFullPathNameW(FromUtf8(path).c_str(), 32768, full, nullptr);
    return std::wstring(full, length);
}

void Fail(const std::string& message) { fprintf(stderr, "tessarine-scan: %s\n", message.c_str()); }

bool StandardErrorIsTerminal()
{
    DWORD mode = 0;
    HANDLE error = GetStdHandle(STD_ERROR_HANDLE);
    return GetFileType(error) == FILE_TYPE_CHAR || GetConsoleMode(error, &mode);
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    std::vector<std::string> arguments;
    for (int i = 0; i < argc; ++i) arguments.push_back(ToUtf8(argv[i]));
    CScanOptions options;
    if (const int exitCode = ParseScanOptions(arguments, options); exitCode >= 0) return exitCode;

    CPluginScannerOptions scanner;
    scanner.jobs = options.jobs > 0 ? options.jobs : static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    scanner.server.serverPath = options.server.empty() ? ProgramFolder() + L"\\ScanServer-x64.exe" : FullPath(options.server);
    scanner.server.dumpFolder = options.dumpFolder.empty() ? DefaultDumpFolder() : FullPath(options.dumpFolder);
    scanner.server.timeout = std::chrono::milliseconds(static_cast<long long>(options.timeoutSeconds * 1000));
    if (GetFileAttributesW(scanner.server.serverPath.c_str()) == INVALID_FILE_ATTRIBUTES) {
        Fail("scan server not found: " + ToUtf8(scanner.server.serverPath));
        return kExitBadUsage;
    }

    std::vector<CPluginFile> files;
    std::string problem;
    if (!FindPluginFiles(options.paths, files, problem)) {
        Fail("no such file or folder: " + problem);
        return kExitBadUsage;
    }
    CDatabase database;
    const bool useDatabase = !options.database.empty();
    if (useDatabase && !database.Load(FullPath(options.database), problem)) {
        Fail("cannot use the database " + options.database + ": " + problem);
        return kExitBadUsage;
    }

    // Unchanged files (same size and time) come from the database; the rest is scanned.
    std::vector<Json> records(files.size());
    std::vector<size_t> toScan;
    for (size_t i = 0; i < files.size(); ++i) {
        const Json* known = useDatabase && !options.rescan ? database.Find(files[i].path) : nullptr;
        if (known && RecordIsCurrent(*known, files[i])) records[i] = *known;
        else toScan.push_back(i);
    }
    const size_t unchanged = files.size() - toScan.size();

    CProgress progress(toScan.size(), StandardErrorIsTerminal());
    progress.Unchanged(unchanged);
    std::vector<std::string> paths;
    for (size_t i : toScan) paths.push_back(files[i].path);
    bool saveFailed = false;
    CPluginScannerCallbacks callbacks;
    callbacks.started = [&](size_t, const std::string& path) { progress.Started(path); };
    callbacks.finished = [&](size_t index, const CPluginScan& scan) {
        const size_t file = toScan[index];
        records[file] = PluginRecord(files[file], scan);
        progress.Finished(records[file]);
        if (useDatabase && !saveFailed) {
            database.Put(records[file]);
            if (!database.Save(problem)) {
                Fail(problem);
                saveFailed = true;
            }
        }
    };
    ScanPlugins(paths, scanner, callbacks);

    std::string output;
    switch (options.format) {
    case OutputFormat::kTable: output = FormatTable(records); break;
    case OutputFormat::kJson: output = FormatJson(records); break;
    case OutputFormat::kCsv: output = FormatCsv(records); break;
    }
    fwrite(output.data(), 1, output.size(), stdout);
    fflush(stdout);
    progress.Summary(records, unchanged);

    bool allOk = !saveFailed;
    for (const auto& record : records)
        for (const auto& status : RecordStatuses(record)) allOk &= status == "ok";
    return allOk ? kExitAllOk : kExitSomeFailed;
}
