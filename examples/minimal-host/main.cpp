// The smallest host: scans the plug-in files it is given, each in a scan server beside this
// program (or in the folder of --servers DIR), and prints one line per plug-in.
//   minimal-host [--servers DIR] PLUGIN...
#include <cstdio>
#include <string>
#include <vector>

#include "host/PluginScanner.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace {

#if defined(_WIN32)
const char* const kServer = "\\ScanServer-x64.exe";
const char* const kServerX86 = "\\ScanServer-x86.exe";

std::string ProgramFolder()
{
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    const std::string folder = ToUtf8(std::wstring(path, length));
    return folder.substr(0, folder.find_last_of('\\'));
}
#else
const char* const kServer = "/ScanServer-linux-x86_64";
const char* const kServerX86 = "";

std::string ProgramFolder()
{
    char path[4096];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof(path));
    const std::string folder(path, length > 0 ? static_cast<size_t>(length) : 0);
    return folder.substr(0, folder.find_last_of('/'));
}
#endif

int Run(const std::vector<std::string>& arguments)
{
    std::string servers = ProgramFolder();
    std::vector<std::string> paths;
    for (size_t i = 1; i < arguments.size(); ++i) {
        if (arguments[i] == "--servers" && i + 1 < arguments.size()) servers = arguments[++i];
        else paths.push_back(arguments[i]);
    }
    if (paths.empty()) {
        fprintf(stderr, "usage: minimal-host [--servers DIR] PLUGIN...\n");
        return 2;
    }

    // Paths the system takes are NativeText: UTF-16 on Windows, UTF-8 on Linux.
    CPluginScannerOptions options;
    options.server.serverPath = FromUtf8(servers + kServer);
    if (kServerX86[0]) options.serverPathX86 = FromUtf8(servers + kServerX86);
    options.server.timeout = std::chrono::seconds(30);

    bool allOk = true;
    for (const CPluginScan& scan : ScanPlugins(paths, options)) {
        const CScanOutcome& outcome = scan.outcome;
        allOk &= outcome.status == ScanStatus::kOk;
        // A VST 2 plug-in names itself; a VST 3 module or a CLAP file holds plug-ins that do.
        std::string name = outcome.report.name;
        for (const CPluginScan& sub : scan.subPlugins)
            name += (name.empty() ? "" : ", ") + sub.outcome.report.name;
        printf("%-9s %-4s %-4s %s: %s%s%s\n", ScanStatusName(outcome.status), scan.arch.c_str(), scan.format.c_str(),
               scan.request.c_str(), name.c_str(), outcome.error.empty() ? "" : " - ", outcome.error.c_str());
    }
    return allOk ? 0 : 1;
}

}  // namespace

#if defined(_WIN32)
int wmain(int argc, wchar_t** argv)
{
    std::vector<std::string> arguments;
    for (int i = 0; i < argc; ++i) arguments.push_back(ToUtf8(argv[i]));
    return Run(arguments);
}
#else
int main(int argc, char** argv) { return Run(std::vector<std::string>(argv, argv + argc)); }
#endif
