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

#include "bench/Figures.h"
#include "host/Paths.h"
#include "host/PluginScanner.h"
#include "host/WindowsText.h"
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
            CScanServer server(ServerOptions());
            for (const auto& file : files) server.Scan(file);
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

}  // namespace

int main(int argc, char** argv)
{
    const bool quick = argc > 1 && std::strcmp(argv[1], "--quick") == 0;
    const int rounds = quick ? 2 : 5;
    const size_t many = quick ? 1000 : 10000;
    printf("Preparing %zu copies of a plug-in...\n", many);
    fflush(stdout);
    const std::wstring copies = CopiesFolder(many);
    const std::wstring hundreds = CopiesFolder(300);

    std::vector<CFigure> figures;
    auto run = [&](CFigure figure) {
        printf("measured: %s\n", figure.name.c_str());
        fflush(stdout);
        figures.push_back(std::move(figure));
    };
    run(NewServerAgainstPersistent(rounds, quick ? 5 : 10));
    run(JobsTwoAgainstOne(rounds, hundreds, 300));
    run(ScannerAgainstRawServer(rounds, hundreds, 300));
    run(SavingShare(quick ? 2 : 3, copies, many));

    PrintFigures(figures);
    WriteFiguresJson(figures, ToUtf8(Bin + L"\\..\\bench-figures.json"));
    return 0;
}
