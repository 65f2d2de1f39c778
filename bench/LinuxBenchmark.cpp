// The Linux figures, in the shape of the Windows ones (the shared ones, and Debian's plug-ins
// scanned a second): each measured side by side with its baseline in interleaved rounds under
// the same load, printed as a ratio next to its target. It asserts nothing. --quick gives a
// first look in well under a minute.
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "bench/BenchPlatform.h"
#include "bench/SharedFigures.h"

namespace {

// Debian's plug-ins from the standard folders, every file scanned anew (--rescan), with one job
// and with two: plug-ins a second; the target is for two jobs.
CFigure DebianPluginsPerSecond(int rounds)
{
    const std::string home = FreshDatabase("bench-home");
    mkdir(home.c_str(), 0755);
    const std::string database = FreshDatabase("bench-debian.json");
    RunScanner("--db " + QuotedArgument(database), "HOME=" + QuotedArgument(home));
    size_t files = 0;
    {
        std::ifstream text(database);
        for (std::string line; std::getline(text, line);) files += line.find("\"path\":") != std::string::npos;
    }
    CFigure figure{"Debian's plug-ins from the standard folders, --jobs 2 vs --jobs 1", "plug-in files per second"};
    figure.baselineName = "--jobs 1";
    figure.target = 50;  // files a second with two jobs, whatever one job does
    for (int round = 0; round < rounds; ++round) {
        figure.measured.push_back(files / RunScanner("--rescan --jobs 2 --db " + QuotedArgument(database), "HOME=" + QuotedArgument(home)));
        figure.baseline.push_back(files / RunScanner("--rescan --jobs 1 --db " + QuotedArgument(database), "HOME=" + QuotedArgument(home)));
    }
    figure.note = std::to_string(files) + " files (lsp-plugins-vst, dpf-plugins-vst, dragonfly-reverb-vst, "
                                          "iem-plugin-suite-vst, zam-plugins); the target is for the measured side alone";
    return figure;
}

// Debian's plug-ins checked with two jobs, every check timed by the scanner: the median seconds
// a check of a real plug-in takes, against a target of its own (twice the median of the check
// before it had an audio thread, automation, programs, a session and buses: 0.15 s).
CFigure DebianCheckMedian(int rounds)
{
    const std::string home = FreshDatabase("bench-home");
    mkdir(home.c_str(), 0755);
    CFigure figure{"a check of one of Debian's plug-ins, --jobs 2", "s per check (median)"};
    figure.target = 0.3;
    size_t checks = 0;
    for (int round = 0; round < rounds; ++round) {
        const std::string database = FreshDatabase("bench-debian-checks.json");
        RunScanner("--check --jobs 2 --db " + QuotedArgument(database), "HOME=" + QuotedArgument(home));
        std::vector<double> seconds;
        std::ifstream text(database);
        const std::string key = "\"checkSeconds\":";
        for (std::string line; std::getline(text, line);)
            for (size_t at = line.find(key); at != std::string::npos; at = line.find(key, at + 1))
                seconds.push_back(std::strtod(line.c_str() + at + key.size(), nullptr));
        checks = seconds.size();
        figure.measured.push_back(Median(seconds));
    }
    figure.note = std::to_string(checks) + " checks of the five packages' plug-ins; the target is for the median alone";
    return figure;
}

}  // namespace

int main(int argc, char** argv)
{
    CBenchRun bench(argc, argv);
    const bool quick = bench.quick;
    const int rounds = bench.rounds;
    printf("Preparing copies of a plug-in...\n");
    fflush(stdout);
    const std::string hundreds = CopiesFolder(300);
    if (bench.Wanted("request")) {
        bench.Add(PerRequestAgainstFloor(rounds, quick ? 100 : 500, true, hundreds));
        bench.Add(PerRequestAgainstFloor(rounds, quick ? 100 : 500, false, hundreds));
    }
    if (bench.Wanted("scanner")) bench.Add(ScannerAgainstRawServer(rounds, hundreds, 300));
    if (bench.Wanted("jobs")) {
        const size_t count = quick ? 300 : 1000;
        bench.Add(JobsTwoAgainstOne(rounds, CopiesFolder(count), count));
    }
    if (bench.Wanted("crash")) bench.Add(CrashPath(quick ? 2 : 3, hundreds, quick ? 30 : 60));
    if (bench.Wanted("check")) bench.Add(CheckAgainstFloor(rounds, quick ? 15 : 60));
    if (bench.Wanted("debian")) bench.Add(DebianPluginsPerSecond(quick ? 1 : 3));
    if (bench.Wanted("debian-check")) bench.Add(DebianCheckMedian(quick ? 1 : 3));
    PrintFigures(bench.figures);
    WriteFiguresJson(bench.figures, BenchPath("../bench-figures-linux.json"));
    return 0;
}
