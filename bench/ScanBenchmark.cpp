// The figures that tell what scanning costs, each measured side by side with its baseline in
// interleaved rounds under the same load. It prints them and asserts nothing: these machines
// are shared and noisy, and absolute times vary; the ratios of one run hold.
// --quick gives a first look in well under a minute.
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>

#include <psapi.h>

#include "bench/BenchPlatform.h"
#include "bench/CheckFloor.h"
#include "bench/Floor.h"
#include "bench/SharedFigures.h"
#include "host/Paths.h"
#include "host/CheckVerdict.h"
#include "host/PluginScanner.h"
#include "host/ScanServer.h"
#include "host/WindowsText.h"
#include "protocol/CheckRequest.h"
#include "scanner/Database.h"
#include "scanner/PathKeys.h"

namespace {

using Clock = std::chrono::steady_clock;

const std::wstring Bin = ProgramFolder();

std::string Plugin(const char* name, const wchar_t* folder = L"plugins")
{
    return ToUtf8(Bin + L"\\" + folder + L"\\") + name + ".dll";
}

double WorkingSetMegabytes(void* process)
{
    PROCESS_MEMORY_COUNTERS counters{};
    GetProcessMemoryInfo(static_cast<HANDLE>(process), &counters, sizeof(counters));
    return counters.WorkingSetSize / 1048576.0;
}

double OwnWorkingSetMegabytes() { return WorkingSetMegabytes(GetCurrentProcess()); }

// From the start of a process to its first line: the server against a bare program.
CFigure StartUp(int rounds, const wchar_t* server, const std::string& name)
{
    CFigure figure{name, "ms to the first ready:"};
    figure.baselineName = "bare program";
    auto firstLine = [](const std::wstring& exe) {
        return 1000 * Seconds([&] {
            CChildProcess child;
            CChildStart how;
            how.commandLine = [&](const std::wstring& requestEnd, const std::wstring& outputEnd) {
                return QuoteArgument(exe) + L" " + requestEnd + L" " + outputEnd + L" 0";
            };
            std::string problem;
            child.Start(how, problem);
            bool ended = false;
            while (auto line = child.NextLine(Clock::now() + std::chrono::seconds(30), ended))
                if (*line == "ready:") break;
            child.Terminate(0);
        });
    };
    for (int round = 0; round < rounds; ++round) {
        figure.measured.push_back(firstLine(Bin + L"\\" + server));
        figure.baseline.push_back(firstLine(Bin + L"\\bare_program.exe"));
    }
    return figure;
}

// The server's working set over many requests: with plug-ins that keep nothing, it must not
// grow; with ordinary ones, their own growth in this process shows what is theirs.
std::vector<CFigure> Memory(int requests, const std::string& copies)
{
    CFigure clean{"memory growth, " + std::to_string(requests) + " requests, no runtime", "MB"};
    clean.target = 1.0;
    CFigure zoo{"memory growth, " + std::to_string(requests) + " requests, zoo", "MB"};
    zoo.baselineName = "in-process";
    std::string steps;
    {
        const std::vector<std::string> files = FilesIn(copies, 2);
        CRawServer server;
        double atHundred = 0;
        for (int i = 1; i <= requests; ++i) {
            server.Ask(files[i % 2]);
            if (i == 100) atHundred = WorkingSetMegabytes(server.Process().Process());
            if (i == 100 || i == 1000 || i == 10000) {
                char step[64];
                snprintf(step, sizeof(step), "%s%d: %.1f MB", steps.empty() ? "" : ", ", i, WorkingSetMegabytes(server.Process().Process()));
                steps += step;
            }
        }
        clean.measured.push_back(WorkingSetMegabytes(server.Process().Process()) - atHundred);
    }
    clean.note = "working set after " + steps;
    {
        const std::vector<std::string> files{Plugin("ordinary_effect"), Plugin("synth_flag")};
        const int loads = std::min(requests, 1000);
        CRawServer server;
        for (int i = 0; i < 100; ++i) server.Ask(files[i % 2]);
        const double before = WorkingSetMegabytes(server.Process().Process());
        for (int i = 0; i < loads; ++i) server.Ask(files[i % 2]);
        zoo.measured.push_back(WorkingSetMegabytes(server.Process().Process()) - before);
        for (int i = 0; i < 100; ++i) ProbeInProcess(FromUtf8(files[i % 2]));
        const double ownBefore = OwnWorkingSetMegabytes();
        for (int i = 0; i < loads; ++i) ProbeInProcess(FromUtf8(files[i % 2]));
        zoo.baseline.push_back(OwnWorkingSetMegabytes() - ownBefore);
        zoo.name = "memory growth, " + std::to_string(loads) + " requests, zoo";
        zoo.note = "the same loads in this process grow it as much: the growth is the plug-ins' own";
    }
    return {clean, zoo};
}

// A shell's sub-plug-ins on the server that keeps its library, against each on a new server.
CFigure NewServerAgainstPersistent(int rounds, uint32_t perRound)
{
    CFigure figure{"new server per plug-in vs persistent server", "ms per plug-in"};
    figure.baselineName = "persistent";
    figure.target = 20;
    figure.atMost = false;
    const std::string shell = Plugin("shell_with_many", L"bench-plugins");
    for (int round = 0; round < rounds; ++round) {
        CScanServer kept(ServerOptions());
        kept.Scan(shell);  // the library stays loaded from here on
        figure.baseline.push_back(1000 * Seconds([&] {
            for (uint32_t id = 1; id <= perRound * 10; ++id) kept.Scan(SubPluginRequest(shell, id));
        }) / (perRound * 10));
        figure.measured.push_back(1000 * Seconds([&] {
            for (uint32_t id = 1; id <= perRound; ++id) CScanServer(ServerOptions()).Scan(SubPluginRequest(shell, id));
        }) / perRound);
    }
    return figure;
}

// Saving, timed on its own: the records of a real scan of `count` plug-ins put into a new
// database one by one, as the jobs do, and folded at the end; against the scan itself.
CFigure SavingShare(int rounds, const std::string& folder, size_t count)
{
    CFigure figure{"saving the database at " + std::to_string(count) + " plug-ins", "s"};
    figure.baselineName = "the scan";
    figure.target = 0.05;
    const std::string scanned = FreshDatabase("bench-saving-source.json");
    RunScanner("--jobs 2 --db " + QuotedArgument(scanned) + " " + QuotedArgument(folder));
    std::vector<Json> records;
    {
        std::string problem;
        CDatabase source;
        source.Open(FromUtf8(scanned), problem);
        for (const auto& file : FilesIn(folder, count))
            if (const Json* record = source.Find(PathKey(file))) records.push_back(*record);
    }
    for (int round = 0; round < rounds; ++round) {
        figure.baseline.push_back(RunScanner("--jobs 2 " + QuotedArgument(folder)));
        figure.measured.push_back(Seconds([&] {
            std::string problem;
            CDatabase database;
            database.Open(FromUtf8(FreshDatabase("bench-saving.json")), problem);
            for (const auto& record : records) database.Record(record, problem);
            database.Fold(problem);
        }));
    }
    figure.note = std::to_string(records.size()) + " records journalled one by one and folded, against a scan of " +
                  "the same plug-ins with --jobs 2 and no database";
    return figure;
}

// The check zoo of both machines with --check, one job against two.
CFigure CheckZooJobs(int rounds, bool bothMachines)
{
    const std::string zoo = QuotedArgument(BenchPath("plugins-check")) +
                            (bothMachines ? " " + QuotedArgument(BenchPath("plugins-x86-check")) : "");
    size_t files = 0;
    for (const wchar_t* folder : {L"\\plugins-check\\*", L"\\plugins-x86-check\\*"}) {
        WIN32_FIND_DATAW found;
        HANDLE listing = FindFirstFileW((Bin + folder).c_str(), &found);
        for (bool more = listing != INVALID_HANDLE_VALUE; more; more = FindNextFileW(listing, &found))
            files += !(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
        if (listing != INVALID_HANDLE_VALUE) FindClose(listing);
        if (!bothMachines) break;
    }
    CFigure figure{"tessarine-scan --check over the check zoo, --jobs 1 vs --jobs 2", "s for " + std::to_string(files) + " files"};
    figure.baselineName = "--jobs 2";
    figure.target = 0;
    for (int round = 0; round < rounds; ++round) {
        figure.measured.push_back(RunScanner("--check --timeout 3 --jobs 1 " + zoo));
        figure.baseline.push_back(RunScanner("--check --timeout 3 --jobs 2 " + zoo));
    }
    figure.note = "each run holds three hangs a machine (3 s time-outs) and three crashes, each writing its dump";
    return figure;
}

}  // namespace

int main(int argc, char** argv)
{
    CBenchRun bench(argc, argv);
    const bool quick = bench.quick;
    const int rounds = bench.rounds;
    const size_t many = quick ? 1000 : 10000;
    printf("Preparing copies of a plug-in...\n");
    fflush(stdout);
    const std::string hundreds = CopiesFolder(300);

    if (bench.Wanted("request")) {
        bench.Add(PerRequestAgainstFloor(rounds, quick ? 60 : 300, true, hundreds));
        bench.Add(PerRequestAgainstFloor(rounds, quick ? 60 : 300, false, hundreds));
    }
    if (bench.Wanted("new-server")) bench.Add(NewServerAgainstPersistent(rounds, quick ? 4 : 10));
    if (bench.Wanted("start-up")) {
        bench.Add(StartUp(rounds * 2, L"ScanServer-x64.exe", "server start-up"));
        bench.Add(StartUp(rounds * 2, L"ScanServer-x64-without-splash.exe", "server start-up, no splash picture"));
    }
    if (bench.Wanted("memory"))
        for (CFigure& figure : Memory(quick ? 600 : 10000, hundreds)) bench.Add(std::move(figure));
    // Enough plug-ins that the fixed costs (the scanner's and the servers' start-up) do not hide
    // how the work itself scales; 300 in a quick look.
    if (bench.Wanted("jobs")) {
        const size_t count = quick ? 300 : 1000;
        bench.Add(JobsTwoAgainstOne(rounds, CopiesFolder(count), count));
    }
    if (bench.Wanted("scanner")) bench.Add(ScannerAgainstRawServer(rounds, hundreds, 300));
    if (bench.Wanted("crash")) bench.Add(CrashPath(quick ? 2 : 3, hundreds, quick ? 30 : 60));
    if (bench.Wanted("saving")) bench.Add(SavingShare(quick ? 2 : 3, CopiesFolder(many), many));
    if (bench.Wanted("check")) {
        bench.Add(CheckAgainstFloor(rounds, quick ? 15 : 60));
        bench.Add(CheckZooJobs(quick ? 1 : 2, !quick));
    }

    PrintFigures(bench.figures);
    WriteFiguresJson(bench.figures, ToUtf8(Bin + L"\\..\\bench-figures.json"));
    return 0;
}
