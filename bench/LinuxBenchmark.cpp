// The Linux figures, in the shape of the Windows ones (the shared ones, and Debian's plug-ins
// scanned a second): each measured side by side with its baseline in interleaved rounds under
// the same load, printed as a ratio next to its target. It asserts nothing. --quick gives a
// first look in well under a minute.
#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

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
    WriteFiguresJson(figures, BenchPath("../bench-figures-linux.json"));
    return 0;
}
