// The Linux figures, in the shape of the Windows ones: each measured side by side with its
// baseline in interleaved rounds under the same load, printed as a ratio next to its target.
// It asserts nothing. --quick gives a first look in well under a minute.
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <string>

#include "bench/CheckFloor.h"
#include "bench/Figures.h"
#include "bench/Floor.h"
#include "host/CheckVerdict.h"
#include "host/Paths.h"
#include "host/PluginScanner.h"
#include "host/ScanServer.h"
#include "protocol/CheckRequest.h"

namespace {

using Clock = std::chrono::steady_clock;

const std::string Bin = ProgramFolder();

double Seconds(const std::function<void()>& work)
{
    const auto started = Clock::now();
    work();
    return std::chrono::duration<double>(Clock::now() - started).count();
}

std::string Quoted(const std::string& text)
{
    std::string quoted = "'";
    for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

CScanServerOptions ServerOptions()
{
    CScanServerOptions server;
    server.serverPath = Bin + "/ScanServer-linux-x86_64";
    server.timeout = std::chrono::milliseconds(60000);
    server.dumpFolder = "/tmp/tessarine-bench-dumps";
    return server;
}

// A folder of `count` copies of the zoo's ordinary effect, made once and kept in build/.
std::string CopiesFolder(size_t count)
{
    const std::string folder = Bin + "/../bench-copies-" + std::to_string(count);
    mkdir(folder.c_str(), 0755);
    std::ifstream source(Bin + "/plugins/ordinary_effect.so", std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(source)), std::istreambuf_iterator<char>());
    for (size_t i = 0; i < count; ++i) {
        char name[32];
        snprintf(name, sizeof(name), "/effect-%05zu.so", i);
        struct stat status {};
        if (stat((folder + name).c_str(), &status) != 0) std::ofstream(folder + name, std::ios::binary) << bytes;
    }
    return folder;
}

std::vector<std::string> FilesIn(const std::string& folder, size_t count)
{
    std::vector<std::string> files;
    for (size_t i = 0; i < count; ++i) {
        char name[32];
        snprintf(name, sizeof(name), "/effect-%05zu.so", i);
        files.push_back(folder + name);
    }
    return files;
}

// Runs tessarine-scan with its outputs thrown away; gives the seconds it took.
double RunScanner(const std::string& arguments, const std::string& environment = "")
{
    const std::string command = environment + " " + Quoted(Bin + "/tessarine-scan") + " " + arguments + " >/dev/null 2>&1";
    return Seconds([&] { (void)!std::system(command.c_str()); });
}

std::string FreshDatabase(const char* name)
{
    const std::string path = Bin + "/../" + name;
    unlink(path.c_str());
    unlink((path + ".journal").c_str());
    return path;
}

// The server driven by the bare protocol: the baseline for the host library.
class CRawServer {
public:
    CRawServer()
    {
        CChildStart how;
        how.commandLine = [&](const std::string& requestEnd, const std::string& outputEnd) {
            return CommandText{Bin + "/ScanServer-linux-x86_64", requestEnd, outputEnd, "0"};
        };
        how.ownJob = true;
        std::string problem;
        child.Start(how, problem);
        ReadAnswer();
    }
    ~CRawServer() { child.End(false, 5000); }
    std::vector<std::string> Ask(const std::string& request)
    {
        child.Write(request + "\n");
        return ReadAnswer();
    }

private:
    std::vector<std::string> ReadAnswer()
    {
        std::vector<std::string> lines;
        bool ended = false;
        while (auto line = child.NextLine(Clock::now() + std::chrono::seconds(60), ended)) {
            lines.push_back(*line + "\n");
            if (*line == "ready:") break;
        }
        return lines;
    }
    CChildProcess child;
};

CFigure PerRequestAgainstFloor(int rounds, int requests, bool alternate, const std::string& copies)
{
    CFigure figure{alternate ? "per request, two plug-ins alternating" : "per request, one plug-in repeated", "ms per request"};
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
                ProbeInProcess(files[alternate ? i % 2 : 0]);
                pipe.Send(lines);
            }
        }) / requests);
    }
    figure.note = std::to_string(lines.size()) + " lines per answer, each written on its own";
    return figure;
}

CFigure ScannerAgainstRawServer(int rounds, const std::string& folder, size_t count)
{
    CFigure figure{"tessarine-scan vs the raw persistent server", "ms per plug-in"};
    figure.baselineName = "raw server";
    figure.target = 1.25;
    const std::vector<std::string> files = FilesIn(folder, count);
    for (int round = 0; round < rounds; ++round) {
        figure.measured.push_back(1000 * RunScanner("--jobs 1 " + Quoted(folder)) / count);
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
        figure.measured.push_back(RunScanner("--jobs 1 --db " + Quoted(FreshDatabase("bench-jobs.json")) + " " + Quoted(folder)));
        figure.baseline.push_back(RunScanner("--jobs 2 --db " + Quoted(FreshDatabase("bench-jobs.json")) + " " + Quoted(folder)));
    }
    return figure;
}

CFigure CrashPath(int rounds, const std::string& folder, size_t count)
{
    CFigure figure{"the crash path: " + std::to_string(count) + " ok plug-ins, then a crash", "s"};
    figure.baselineName = "crash alone + ok scans";
    figure.target = 1.2;
    std::vector<std::string> files = FilesIn(folder, count);
    const std::string crasher = Bin + "/plugins/crash_in_entry.so";
    CPluginScannerOptions options;
    options.server = ServerOptions();
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

CFigure CheckAgainstFloor(int rounds, int checks)
{
    CFigure figure{"a check per plug-in, vs its stages in this process", "ms per check"};
    figure.baselineName = "floor";
    figure.target = 1.3;
    const std::string folder = Bin + "/plugins-check/";
    const std::pair<std::string, std::string> plugins[] = {
        {folder + "check_clean.so", ""},
        {folder + "check_clean.vst3/Contents/x86_64-linux/check_clean.so", "5A564333434845434B00000000000000"},
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
    figure.note = "the clean plug-in of each format in turn: 15 settings of 0.1 s, the timed second, parameters, state";
    return figure;
}

// Debian's plug-ins from the standard folders, every file scanned anew (--rescan), with one job
// and with two: plug-ins a second; the target is for two jobs.
CFigure DebianPluginsPerSecond(int rounds)
{
    const std::string home = FreshDatabase("bench-home");
    mkdir(home.c_str(), 0755);
    const std::string database = FreshDatabase("bench-debian.json");
    RunScanner("--db " + Quoted(database), "HOME=" + Quoted(home));
    size_t files = 0;
    {
        std::ifstream text(database);
        for (std::string line; std::getline(text, line);) files += line.find("\"path\":") != std::string::npos;
    }
    CFigure figure{"Debian's plug-ins from the standard folders, --jobs 2 vs --jobs 1", "plug-in files per second"};
    figure.baselineName = "--jobs 1";
    figure.target = 50;  // files a second with two jobs, whatever one job does
    for (int round = 0; round < rounds; ++round) {
        figure.measured.push_back(files / RunScanner("--rescan --jobs 2 --db " + Quoted(database), "HOME=" + Quoted(home)));
        figure.baseline.push_back(files / RunScanner("--rescan --jobs 1 --db " + Quoted(database), "HOME=" + Quoted(home)));
    }
    figure.note = std::to_string(files) + " files (lsp-plugins-vst, dpf-plugins-vst, dragonfly-reverb-vst, "
                                          "iem-plugin-suite-vst, zam-plugins); the target is for the measured side alone";
    return figure;
}

}  // namespace

int main(int argc, char** argv)
{
    bool quick = false;
    std::string only;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--quick") == 0) quick = true;
        else if (std::strcmp(argv[i], "--only") == 0 && i + 1 < argc) only = argv[++i];
    }
    const int rounds = quick ? 2 : 5;
    auto wanted = [&](const char* key) { return only.empty() || std::string(key).find(only) != std::string::npos; };
    printf("Preparing copies of a plug-in...\n");
    fflush(stdout);
    const std::string hundreds = CopiesFolder(300);
    std::vector<CFigure> figures;
    auto run = [&](CFigure figure) {
        printf("measured: %s\n", figure.name.c_str());
        fflush(stdout);
        figures.push_back(std::move(figure));
    };
    if (wanted("request")) {
        run(PerRequestAgainstFloor(rounds, quick ? 100 : 500, true, hundreds));
        run(PerRequestAgainstFloor(rounds, quick ? 100 : 500, false, hundreds));
    }
    if (wanted("scanner")) run(ScannerAgainstRawServer(rounds, hundreds, 300));
    if (wanted("jobs")) {
        const size_t count = quick ? 300 : 1000;
        run(JobsTwoAgainstOne(rounds, CopiesFolder(count), count));
    }
    if (wanted("crash")) run(CrashPath(quick ? 2 : 3, hundreds, quick ? 30 : 60));
    if (wanted("check")) run(CheckAgainstFloor(rounds, quick ? 15 : 60));
    if (wanted("debian")) run(DebianPluginsPerSecond(quick ? 1 : 3));
    PrintFigures(figures);
    WriteFiguresJson(figures, Bin + "/../bench-figures.json");
    return 0;
}
