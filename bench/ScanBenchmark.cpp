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

#include "bench/CheckFloor.h"
#include "bench/Figures.h"
#include "bench/Floor.h"
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

double Seconds(const std::function<void()>& work)
{
    const auto started = Clock::now();
    work();
    return std::chrono::duration<double>(Clock::now() - started).count();
}

std::string Plugin(const char* name, const wchar_t* folder = L"plugins")
{
    return ToUtf8(Bin + L"\\" + folder + L"\\") + name + ".dll";
}

CScanServerOptions ServerOptions()
{
    CScanServerOptions server;
    server.serverPath = Bin + L"\\ScanServer-x64.exe";
    server.timeout = std::chrono::milliseconds(60000);
    return server;
}

// A folder of `count` copies of the effect without a runtime, made once and kept in build/.
std::wstring CopiesFolder(size_t count)
{
    const std::wstring folder = NormalPath(Bin + L"\\..\\bench-copies-" + std::to_wstring(count));
    const std::wstring source = Bin + L"\\bench-plugins\\no_runtime_effect.dll";
    CreateDirectoryW(folder.c_str(), nullptr);
    for (size_t i = 0; i < count; ++i) {
        wchar_t name[32];
        swprintf(name, 32, L"\\effect-%05zu.dll", i);
        CopyFileW(source.c_str(), (folder + name).c_str(), TRUE);
    }
    return folder;
}

std::vector<std::string> FilesIn(const std::wstring& folder, size_t count)
{
    std::vector<std::string> files;
    for (size_t i = 0; i < count; ++i) {
        wchar_t name[32];
        swprintf(name, 32, L"\\effect-%05zu.dll", i);
        files.push_back(ToUtf8(folder + name));
    }
    return files;
}

// Runs tessarine-scan with its outputs thrown away; gives the seconds it took.
double RunScanner(const std::wstring& arguments)
{
    SECURITY_ATTRIBUTES inheritable{sizeof(inheritable), nullptr, TRUE};
    HANDLE nul = CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inheritable, OPEN_EXISTING, 0, nullptr);
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = startup.hStdError = nul;
    std::wstring commandLine = QuoteArgument(Bin + L"\\tessarine-scan.exe") + L" " + arguments;
    PROCESS_INFORMATION info{};
    const double seconds = Seconds([&] {
        if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &info)) return;
        WaitForSingleObject(info.hProcess, INFINITE);
    });
    if (info.hProcess) {
        CloseHandle(info.hProcess);
        CloseHandle(info.hThread);
    }
    CloseHandle(nul);
    return seconds;
}

std::wstring FreshDatabase(const wchar_t* name)
{
    const std::wstring path = Bin + L"\\..\\" + name;
    DeleteFileW(path.c_str());
    DeleteFileW((path + L".journal").c_str());
    return path;
}

// The server driven by the bare protocol: the baseline for the host library, and the process
// whose memory is watched.
class CRawServer {
public:
    explicit CRawServer(const std::wstring& exe = Bin + L"\\ScanServer-x64.exe")
    {
        CChildStart how;
        how.commandLine = [&](const std::wstring& requestEnd, const std::wstring& outputEnd) {
            return QuoteArgument(exe) + L" " + requestEnd + L" " + outputEnd + L" 0";
        };
        how.ownJob = true;
        std::string problem;
        child.Start(how, problem);
        ReadAnswer();  // the banner and the first "ready:"
    }
    ~CRawServer() { child.End(false, 5000); }

    // The lines of one answer, each with its line feed, "ready:" last.
    std::vector<std::string> Ask(const std::string& request)
    {
        child.Write(request + "\n");
        return ReadAnswer();
    }
    double WorkingSetMegabytes()
    {
        PROCESS_MEMORY_COUNTERS counters{};
        GetProcessMemoryInfo(child.Process(), &counters, sizeof(counters));
        return counters.WorkingSetSize / 1048576.0;
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

double OwnWorkingSetMegabytes()
{
    PROCESS_MEMORY_COUNTERS counters{};
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof(counters));
    return counters.WorkingSetSize / 1048576.0;
}

// One request on a persistent server, against the least that request could cost: the same
// plug-in probed in this process, and the same lines written and flushed to a reader.
CFigure PerRequestAgainstFloor(int rounds, int requests, bool alternate, const std::wstring& copies)
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
std::vector<CFigure> Memory(int requests, const std::wstring& copies)
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
            if (i == 100) atHundred = server.WorkingSetMegabytes();
            if (i == 100 || i == 1000 || i == 10000) {
                char step[64];
                snprintf(step, sizeof(step), "%s%d: %.1f MB", steps.empty() ? "" : ", ", i, server.WorkingSetMegabytes());
                steps += step;
            }
        }
        clean.measured.push_back(server.WorkingSetMegabytes() - atHundred);
    }
    clean.note = "working set after " + steps;
    {
        const std::vector<std::string> files{Plugin("ordinary_effect"), Plugin("synth_flag")};
        const int loads = std::min(requests, 1000);
        CRawServer server;
        for (int i = 0; i < 100; ++i) server.Ask(files[i % 2]);
        const double before = server.WorkingSetMegabytes();
        for (int i = 0; i < loads; ++i) server.Ask(files[i % 2]);
        zoo.measured.push_back(server.WorkingSetMegabytes() - before);
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

// A crash after a run of good plug-ins on one server, against what a scanner that starts one
// process per crash would pay: the same crasher alone on a fresh server, plus the good scans.
CFigure CrashPath(int rounds, const std::wstring& folder, size_t count)
{
    CFigure figure{"the crash path: " + std::to_string(count) + " ok plug-ins, then a crash", "s"};
    figure.baselineName = "crash alone + ok scans";
    figure.target = 1.2;
    std::vector<std::string> files = FilesIn(folder, count);
    const std::string crasher = Plugin("crash_in_entry");
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    CPluginScannerOptions options;
    options.server = ServerOptions();
    options.server.dumpFolder = std::wstring(temp) + L"tessarine-bench-dumps";
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

CFigure JobsTwoAgainstOne(int rounds, const std::wstring& folder, size_t count)
{
    CFigure figure{"tessarine-scan --db, --jobs 1 vs --jobs 2", "s for " + std::to_string(count) + " plug-ins"};
    figure.baselineName = "--jobs 2";
    figure.target = 1.7;
    figure.atMost = false;
    for (int round = 0; round < rounds; ++round) {
        figure.measured.push_back(RunScanner(L"--jobs 1 --db " + QuoteArgument(FreshDatabase(L"bench-jobs.json")) + L" " +
                                             QuoteArgument(folder)));
        figure.baseline.push_back(RunScanner(L"--jobs 2 --db " + QuoteArgument(FreshDatabase(L"bench-jobs.json")) + L" " +
                                             QuoteArgument(folder)));
    }
    return figure;
}

CFigure ScannerAgainstRawServer(int rounds, const std::wstring& folder, size_t count)
{
    CFigure figure{"tessarine-scan vs the raw persistent server", "ms per plug-in"};
    figure.baselineName = "raw server";
    figure.target = 1.25;
    const std::vector<std::string> files = FilesIn(folder, count);
    for (int round = 0; round < rounds; ++round) {
        figure.measured.push_back(1000 * RunScanner(L"--jobs 1 " + QuoteArgument(folder)) / count);
        figure.baseline.push_back(1000 * Seconds([&] {
            CRawServer server;
            for (const auto& file : files) server.Ask(file);
        }) / count);
    }
    figure.note = "both start one server; the scanner also starts its own process and walks the folder";
    return figure;
}

// Saving, timed on its own: the records of a real scan of `count` plug-ins put into a new
// database one by one, as the jobs do, and folded at the end; against the scan itself.
CFigure SavingShare(int rounds, const std::wstring& folder, size_t count)
{
    CFigure figure{"saving the database at " + std::to_string(count) + " plug-ins", "s"};
    figure.baselineName = "the scan";
    figure.target = 0.05;
    const std::wstring scanned = FreshDatabase(L"bench-saving-source.json");
    RunScanner(L"--jobs 2 --db " + QuoteArgument(scanned) + L" " + QuoteArgument(folder));
    std::vector<Json> records;
    {
        std::string problem;
        CDatabase source;
        source.Open(scanned, problem);
        for (const auto& file : FilesIn(folder, count))
            if (const Json* record = source.Find(PathKey(file))) records.push_back(*record);
    }
    for (int round = 0; round < rounds; ++round) {
        figure.baseline.push_back(RunScanner(L"--jobs 2 " + QuoteArgument(folder)));
        figure.measured.push_back(Seconds([&] {
            std::string problem;
            CDatabase database;
            database.Open(FreshDatabase(L"bench-saving.json"), problem);
            for (const auto& record : records) database.Record(record, problem);
            database.Fold(problem);
        }));
    }
    figure.note = std::to_string(records.size()) + " records journalled one by one and folded, against a scan of " +
                  "the same plug-ins with --jobs 2 and no database";
    return figure;
}

// A check of a plug-in that passes, on a persistent server through the host library, against
// the same stages run by the same code in this process: what the servers add to a check.
CFigure CheckAgainstFloor(int rounds, int checks)
{
    CFigure figure{"a check per plug-in, vs its stages in this process", "ms per check"};
    figure.baselineName = "floor";
    figure.target = 1.3;
    const std::string folder = ToUtf8(Bin + L"\\plugins-check\\");
    // The clean plug-in of each format: the file, and the id its check names.
    const std::pair<std::string, std::string> plugins[] = {
        {folder + "check_clean.dll", ""},
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
    figure.note = "the clean plug-in of each format in turn: 15 settings of 0.1 s, the timed second, parameters, state";
    return figure;
}

// The check zoo of both machines with --check, one job against two.
CFigure CheckZooJobs(int rounds, bool bothMachines)
{
    const std::wstring zoo = QuoteArgument(Bin + L"\\plugins-check") +
                             (bothMachines ? L" " + QuoteArgument(Bin + L"\\plugins-x86-check") : L"");
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
        figure.measured.push_back(RunScanner(L"--check --timeout 3 --jobs 1 " + zoo));
        figure.baseline.push_back(RunScanner(L"--check --timeout 3 --jobs 2 " + zoo));
    }
    figure.note = "each run holds three hangs a machine (3 s time-outs) and three crashes, each writing its dump";
    return figure;
}

}  // namespace

int main(int argc, char** argv)
{
    bool quick = false;
    std::string only;  // --only TEXT: just the figures whose key holds TEXT
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--quick") == 0) quick = true;
        else if (std::strcmp(argv[i], "--only") == 0 && i + 1 < argc) only = argv[++i];
    }
    const int rounds = quick ? 2 : 5;
    const size_t many = quick ? 1000 : 10000;
    auto wanted = [&](const char* key) { return only.empty() || std::string(key).find(only) != std::string::npos; };
    printf("Preparing copies of a plug-in...\n");
    fflush(stdout);
    const std::wstring hundreds = CopiesFolder(300);

    std::vector<CFigure> figures;
    auto run = [&](CFigure figure) {
        printf("measured: %s\n", figure.name.c_str());
        fflush(stdout);
        figures.push_back(std::move(figure));
    };
    if (wanted("request")) {
        run(PerRequestAgainstFloor(rounds, quick ? 60 : 300, true, hundreds));
        run(PerRequestAgainstFloor(rounds, quick ? 60 : 300, false, hundreds));
    }
    if (wanted("new-server")) run(NewServerAgainstPersistent(rounds, quick ? 4 : 10));
    if (wanted("start-up")) {
        run(StartUp(rounds * 2, L"ScanServer-x64.exe", "server start-up"));
        run(StartUp(rounds * 2, L"ScanServer-x64-without-splash.exe", "server start-up, no splash picture"));
    }
    if (wanted("memory"))
        for (CFigure& figure : Memory(quick ? 600 : 10000, hundreds)) run(std::move(figure));
    // Enough plug-ins that the fixed costs (the scanner's and the servers' start-up) do not hide
    // how the work itself scales; 300 in a quick look.
    if (wanted("jobs")) {
        const size_t count = quick ? 300 : 1000;
        run(JobsTwoAgainstOne(rounds, CopiesFolder(count), count));
    }
    if (wanted("scanner")) run(ScannerAgainstRawServer(rounds, hundreds, 300));
    if (wanted("crash")) run(CrashPath(quick ? 2 : 3, hundreds, quick ? 30 : 60));
    if (wanted("saving")) run(SavingShare(quick ? 2 : 3, CopiesFolder(many), many));
    if (wanted("check")) {
        run(CheckAgainstFloor(rounds, quick ? 15 : 60));
        run(CheckZooJobs(quick ? 1 : 2, !quick));
    }

    PrintFigures(figures);
    WriteFiguresJson(figures, ToUtf8(Bin + L"\\..\\bench-figures.json"));
    return 0;
}
