#include "bench/SharedFigures.h"

#include <cstdio>
#include <filesystem>

#include "bench/BenchPlatform.h"
#include "bench/CheckFloor.h"
#include "bench/Floor.h"
#include "host/CheckVerdict.h"
#include "host/PluginScanner.h"
#include "host/ScanServer.h"
#include "host/ServerStart.h"
#include "protocol/CheckRequest.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr char kSeparator = static_cast<char>(std::filesystem::path::preferred_separator);

std::filesystem::path PathOf(const std::string& utf8) { return std::filesystem::path(std::u8string(utf8.begin(), utf8.end())); }

// ".dll" or ".so": the copied plug-in's own.
std::string PluginSuffix() { return PathOf(CopiedPlugin()).extension().string(); }

}  // namespace

CBenchRun::CBenchRun(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        if (std::string(argv[i]) == "--quick") quick = true;
        else if (std::string(argv[i]) == "--only" && i + 1 < argc) only = argv[++i];
    }
    rounds = quick ? 2 : 5;
}

bool CBenchRun::Wanted(const char* key) const { return only.empty() || std::string(key).find(only) != std::string::npos; }

void CBenchRun::Add(CFigure figure)
{
    printf("measured: %s\n", figure.name.c_str());
    fflush(stdout);
    figures.push_back(std::move(figure));
}

double Seconds(const std::function<void()>& work)
{
    const auto started = Clock::now();
    work();
    return std::chrono::duration<double>(Clock::now() - started).count();
}

CScanServerOptions ServerOptions()
{
    CScanServerOptions server;
    server.serverPath = BenchServerPath();
    server.timeout = std::chrono::milliseconds(60000);
    return server;
}

std::string BenchPath(const std::string& relative)
{
    std::string path = BenchFolder() + kSeparator + relative;
    for (char& c : path)
        if (c == '/') c = kSeparator;
    return path;
}

std::string CopiesFolder(size_t count)
{
    const std::string folder = BenchPath("../bench-copies-" + std::to_string(count));
    std::error_code error;
    std::filesystem::create_directories(PathOf(folder), error);
    for (const std::string& file : FilesIn(folder, count))
        std::filesystem::copy_file(PathOf(CopiedPlugin()), PathOf(file), std::filesystem::copy_options::skip_existing, error);
    return folder;
}

std::vector<std::string> FilesIn(const std::string& folder, size_t count)
{
    std::vector<std::string> files;
    for (size_t i = 0; i < count; ++i) {
        char name[32];
        snprintf(name, sizeof(name), "%ceffect-%05zu", kSeparator, i);
        files.push_back(folder + name + PluginSuffix());
    }
    return files;
}

std::string FreshDatabase(const char* name)
{
    const std::string path = BenchPath(std::string("../") + name);
    std::error_code error;
    std::filesystem::remove(PathOf(path), error);
    std::filesystem::remove(PathOf(path + ".journal"), error);
    return path;
}

CRawServer::CRawServer()
{
    CChildStart how;
    how.commandLine = [](const NativeText& requestEnd, const NativeText& outputEnd) {
        return ServerCommand(BenchServerPath(), requestEnd, outputEnd, FromUtf8("0"), NativeText());
    };
    how.ownJob = true;
    std::string problem;
    child.Start(how, problem);
    ReadAnswer();  // the banner and the first "ready:"
}

CRawServer::~CRawServer() { child.End(false, 5000); }

std::vector<std::string> CRawServer::Ask(const std::string& request)
{
    child.Write(request + "\n");
    return ReadAnswer();
}

std::vector<std::string> CRawServer::ReadAnswer()
{
    std::vector<std::string> lines;
    bool ended = false;
    while (auto line = child.NextLine(Clock::now() + std::chrono::seconds(60), ended)) {
        lines.push_back(*line + "\n");
        if (*line == "ready:") break;
    }
    return lines;
}

// One request on a persistent server, against the least that request could cost: the same
// plug-in probed in this process, and the same lines written and flushed to a reader.
CFigure PerRequestAgainstFloor(int rounds, int requests, bool alternate, const std::string& copies)
{
    CFigure figure{alternate ? "per request, two plug-ins alternating" : "per request, one plug-in repeated",
                   "ms per request"};
    figure.baselineName = "floor";
    figure.target = 1.15;
    const std::vector<std::string> files = FilesIn(copies, 2);
    CRawServer server;
    const std::vector<std::string> lines = server.Ask(files[0]);
    CPipeFloor pipe;
    for (int round = 0; round < rounds; ++round) {
        figure.measured.push_back(1000 * Seconds([&] {
            for (int i = 0; i < requests; ++i) server.Ask(files[alternate ? i % 2 : 0]);
        }) / requests);
        figure.baseline.push_back(1000 * Seconds([&] {
            for (int i = 0; i < requests; ++i) {
                ProbeInProcess(FromUtf8(files[alternate ? i % 2 : 0]));
                pipe.Send(lines);
            }
        }) / requests);
    }
    figure.note = std::to_string(lines.size()) + " lines per answer, each written and flushed on its own";
    return figure;
}

CFigure ScannerAgainstRawServer(int rounds, const std::string& folder, size_t count)
{
    CFigure figure{"tessarine-scan vs the raw persistent server", "ms per plug-in"};
    figure.baselineName = "raw server";
    figure.target = 1.25;
    const std::vector<std::string> files = FilesIn(folder, count);
    for (int round = 0; round < rounds; ++round) {
        figure.measured.push_back(1000 * RunScanner("--jobs 1 " + QuotedArgument(folder)) / count);
        figure.baseline.push_back(1000 * Seconds([&] {
            CRawServer server;
            for (const auto& file : files) server.Ask(file);
        }) / count);
    }
    figure.note = "both start one server; the scanner also starts its own process and walks the folder";
    return figure;
}

CFigure JobsTwoAgainstOne(int rounds, const std::string& folder, size_t count)
{
    CFigure figure{"tessarine-scan --db, --jobs 1 vs --jobs 2", "s for " + std::to_string(count) + " plug-ins"};
    figure.baselineName = "--jobs 2";
    figure.target = 1.7;
    figure.atMost = false;
    for (int round = 0; round < rounds; ++round) {
        figure.measured.push_back(RunScanner("--jobs 1 --db " + QuotedArgument(FreshDatabase("bench-jobs.json")) + " " +
                                             QuotedArgument(folder)));
        figure.baseline.push_back(RunScanner("--jobs 2 --db " + QuotedArgument(FreshDatabase("bench-jobs.json")) + " " +
                                             QuotedArgument(folder)));
    }
    return figure;
}

// A crash after a run of good plug-ins on one server, against what a scanner that starts one
// process per crash would pay: the same crasher alone on a fresh server, plus the good scans.
CFigure CrashPath(int rounds, const std::string& folder, size_t count)
{
    CFigure figure{"the crash path: " + std::to_string(count) + " ok plug-ins, then a crash", "s"};
    figure.baselineName = "crash alone + ok scans";
    figure.target = 1.2;
    std::vector<std::string> files = FilesIn(folder, count);
    const std::string crasher = BenchPath("plugins") + kSeparator + "crash_in_entry" + PluginSuffix();
    CPluginScannerOptions options;
    options.server = ServerOptions();
    options.server.dumpFolder = (std::filesystem::temp_directory_path() / "tessarine-bench-dumps").native();
    options.jobs = 1;
    std::vector<std::string> withCrash = files;
    withCrash.push_back(crasher);
    for (int round = 0; round < rounds; ++round) {
        figure.measured.push_back(Seconds([&] { ScanPlugins(withCrash, options); }));
        figure.baseline.push_back(Seconds([&] {
            CScanServer(options.server).Scan(crasher);
            CScanServer kept(options.server);
            for (const auto& file : files) kept.Scan(file);
        }));
    }
    figure.note = "both write the crash's dump; the measured side also waits out the job's end";
    return figure;
}

// A check of a plug-in that passes, on a persistent server through the host library, against
// the same stages run by the same code in this process: what the servers add to a check.
CFigure CheckAgainstFloor(int rounds, int checks)
{
    CFigure figure{"a check per plug-in, vs its stages in this process", "ms per check"};
    figure.baselineName = "floor";
    figure.target = 1.3;
    const std::string folder = BenchPath("plugins-check") + kSeparator;
    // The clean plug-in of each format: the file (a VST 3 module's bundle or file), and the id its check names.
    const std::pair<std::string, std::string> plugins[] = {
        {folder + "check_clean" + PluginSuffix(), ""},
        {folder + "check_clean.vst3", "5A564333434845434B00000000000000"},
        {folder + "check_clean.clap", "com.tessarine.zoo.check.0"}};
    CScanServer server(ServerOptions());
    CCheckFloor floor;
    for (const auto& [path, id] : plugins) {
        const CScanOutcome first = server.Scan(CheckRequestText({path, id, false}));
        if (CheckStatusOf(first) != CheckStatus::kPassed) printf("the check of %s did not pass: %s\n", path.c_str(), CheckVerdictText(first).c_str());
    }
    for (int round = 0; round < rounds; ++round) {
        figure.measured.push_back(1000 * Seconds([&] {
            for (int i = 0; i < checks; ++i) server.Scan(CheckRequestText({plugins[i % 3].first, plugins[i % 3].second, false}));
        }) / checks);
        figure.baseline.push_back(1000 * Seconds([&] {
            for (int i = 0; i < checks; ++i) floor.Check(plugins[i % 3].first, plugins[i % 3].second);
        }) / checks);
    }
    figure.note = "the clean plug-in of each format in turn: 19 settings of 0.1 s, the timed second, parameters, automation, state, the session, buses";
    return figure;
}

