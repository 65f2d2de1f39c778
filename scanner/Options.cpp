#include "scanner/Options.h"

#include <CLI/CLI.hpp>

#include <cstdio>
#include <map>
#include <string>

#include "scanner/Defaults.h"
#include "scanner/FileSystem.h"
#include "scanner/Version.h"

int ParseScanOptions(const std::vector<std::string>& arguments, CScanOptions& options)
{
    CLI::App app{"Scans VST 2, VST 3 and CLAP plug-ins in separate scan server processes, so that a plug-in that "
                 "crashes or hangs costs only its own scan.",
                 "tessarine-scan"};
    // "/home/me/vst" is a path (a Linux one, under Wine), never an option.
    app.allow_windows_style_options(false);
    app.set_version_flag("--version", std::string("tessarine-scan ") + kScannerVersion + " (database format " +
                                          std::to_string(kDatabaseFormat) + ")");
    app.add_option("PATH", options.paths,
                   "plug-in files (" + std::string(kVst2Suffix) + ", .vst3, .clap) and VST 3 bundle folders, or folders searched recursively for "
                   "them; none: the folders where installers put plug-ins (see --list-folders)");
    app.add_flag("--list-folders", options.listFolders,
                 "print the standard folders searched when no PATH is given, with where each comes from and whether "
                 "it exists, and scan nothing");
    app.add_flag("--db-only", options.databaseOnly,
                 "with --db and --report: the page of everything the database knows, scanning nothing (what --db "
                 "and --report without a PATH did before standard folders were searched)");
    // One value, a comma list, read as a text: a list option would take the paths after it too.
    std::string formats = "vst2,vst3,clap";
    app.add_option("--formats", formats,
                   "the formats the folders are searched for, separated by commas: vst2 (" + std::string(kVst2Suffix) + "), vst3 (.vst3 modules "
                   "and bundles), clap (.clap)")
        ->capture_default_str();
    app.add_option("-j,--jobs", options.jobs, "scan servers running at once (default: the number of cores)")
        ->check(CLI::Range(1, 64));
    app.add_option("-t,--timeout", options.timeoutSeconds, "seconds a plug-in may take before its server is ended")
        ->check(CLI::Range(0.1, 86400.0))
        ->capture_default_str();
    app.add_option("--db", options.database,
                   "plug-in database (JSON); every finished plug-in is kept at once, so an interrupted scan "
                   "resumes; unchanged files (same size and time) are taken from it; one scan per database");
    app.add_flag("--retry-failed", options.retryFailed,
                 "scan unchanged files again whose record says failed, crashed or timed out (by default they "
                 "stay known bad and are skipped)");
    app.add_flag("--rescan", options.rescan, "scan every file, also those unchanged since the database has them");
    app.add_flag("--check", options.check,
                 "check every plug-in that scans ok, on the same servers, as a session runs it: open it, process "
                 "audio on an audio thread at 22.05 to 384 kHz in blocks of 1 to 4096, judge the output, set and "
                 "read back its parameters, automate them inside blocks and give them random values, choose its "
                 "programs, save and restore its state, edit, save and load it from the main thread while audio "
                 "runs, offer it mono and stereo layouts, close it; gives each a verdict (passed, warnings, failed, "
                 "crashed, timed out, blocked) and its real-time load; the database keeps checks as it keeps scans");
    app.add_flag("--strict", options.strict,
                 "a check's warnings count as failures: in the exit code, and as <failure> in --format junit");
    app.add_flag("--check-editor", options.checkEditor,
                 "--check, and open each plug-in's editor for half a second in a hidden window (needs a display)");
    const std::map<std::string, OutputFormat> outputs = {
        {"table", OutputFormat::kTable}, {"json", OutputFormat::kJson}, {"csv", OutputFormat::kCsv}, {"junit", OutputFormat::kJunit}};
    std::string format = "table";
    app.add_option("--format", format,
                   "what standard output gets: table, json, csv (RFC 4180; a cell that starts with = + - @, a "
                   "tab or a carriage return gets a leading ' so that no spreadsheet runs it) or junit (JUnit XML "
                   "for CI: a test suite per plug-in, a test case for its scan and for each stage of its check)")
        ->check(CLI::IsMember({"table", "json", "csv", "junit"}, CLI::ignore_case))
        ->capture_default_str();
    app.add_option("--report", options.reportPage,
                   "write the scan as one self-contained HTML page (with --db, every plug-in the database knows of "
                   "the paths scanned; with --db and no path, the whole database, scanning nothing)");
    app.add_option("--dump-dir", options.dumpFolder,
                   "folder for crash dumps (default: " + std::string(kDefaultDumpFolderText) + ")");
    app.add_option("--server", options.server, "the 64-bit scan server (default: " + std::string(kServerName) + " beside this program)");
    app.add_option("--server-x86", options.serverX86,
                   std::string("the 32-bit scan server, for 32-bit plug-ins (default: ") +
                       (kServerNameX86[0] ? std::string(kServerNameX86) + " beside this program)" : "none)"));
    std::string dialogs = "report";
    app.add_option("--dialogs", dialogs,
                   "windows a plug-in opens while it is scanned: report (a dialog that stays --dialog-grace seconds "
                   "with the server silent ends the scan as blocked), dismiss (Cancel or close each; more than 5 "
                   "block), or wait (up to the time-out); each is recorded, with a picture beside the dumps")
        ->check(CLI::IsMember({"report", "dismiss", "wait"}, CLI::ignore_case))
        ->capture_default_str();
    app.add_option("--dialog-grace", options.dialogGraceSeconds, "seconds a dialog may stay before it blocks the scan")
        ->check(CLI::Range(0.1, 3600.0))
        ->capture_default_str();
    app.footer(
        "Exit codes:\n"
        "  0  every plug-in was scanned\n"
        "  1  some plug-ins failed, crashed, timed out or were blocked by a dialog (known bad ones included),\n"
        "     or, with --check, a check failed, crashed, timed out or was blocked (warnings alone keep 0,\n"
        "     but not with --strict)\n"
        "  2  bad usage (an unknown option, a missing path), a database that cannot be read, or one\n"
        "     in use by another scan\n"
        "  3  an internal error\n"
        "\n"
        "The database: a JSON file, with a journal (.journal) that holds each result the moment it\n"
        "is found and is folded into the database at the end, and a lock file (.lock) while a scan\n"
        "runs. Files that failed, crashed or timed out stay known bad until they change.\n"
        "\n"
        "Examples:\n"
        "  tessarine-scan --db plugins.json --timeout 20 \"C:\\Program Files\\VSTPlugins\" \"C:\\Program Files\\Common Files\\VST3\"\n"
        "  tessarine-scan --check --format junit --strict build/MyPlugin.vst3 > results.xml");

    std::vector<std::string> reversed(arguments.rbegin(), arguments.rend() - 1);
    try {
        app.parse(reversed);
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForVersion& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        app.exit(e);
        return kExitBadUsage;
    }
    if (options.databaseOnly && (options.database.empty() || options.reportPage.empty() || !options.paths.empty())) {
        fprintf(stderr, "--db-only takes --db and --report, and no PATH\nRun with --help for more information.\n");
        return kExitBadUsage;
    }
    options.check |= options.checkEditor;
    options.format = outputs.at(CLI::detail::to_lower(format));
    options.formats = {false, false, false};
    for (const std::string& chosen : CLI::detail::split(formats, ',')) {
        const std::string name = CLI::detail::to_lower(CLI::detail::trim_copy(chosen));
        if (name != "vst2" && name != "vst3" && name != "clap") {
            fprintf(stderr, "--formats: %s not in {vst2,vst3,clap}\nRun with --help for more information.\n", chosen.c_str());
            return kExitBadUsage;
        }
        options.formats.vst2 |= name == "vst2";
        options.formats.vst3 |= name == "vst3";
        options.formats.clap |= name == "clap";
    }
    const std::map<std::string, DialogPolicy> policies = {
        {"report", DialogPolicy::kReport}, {"dismiss", DialogPolicy::kDismiss}, {"wait", DialogPolicy::kWait}};
    options.dialogs = policies.at(CLI::detail::to_lower(dialogs));
    return -1;
}
