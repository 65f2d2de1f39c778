// The smallest host: scans the plug-in files it is given, each in a scan server beside this
// program (or in the folder of --servers DIR), and prints one line per plug-in.
//   minimal-host [--servers DIR] PLUGIN...
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "host/PluginScanner.h"

namespace {

std::string Utf8(const std::wstring& text)
{
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string bytes(size > 0 ? size - 1 : 0, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, bytes.data(), size, nullptr, nullptr);
    return bytes;
}

std::wstring ProgramFolder()
{
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path, length);
    return folder.substr(0, folder.find_last_of(L'\\'));
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    std::wstring servers = ProgramFolder();
    std::vector<std::string> paths;
    for (int i = 1; i < argc; ++i) {
        if (std::wstring(argv[i]) == L"--servers" && i + 1 < argc) servers = argv[++i];
        else paths.push_back(Utf8(argv[i]));
    }
    if (paths.empty()) {
        fprintf(stderr, "usage: minimal-host [--servers DIR] PLUGIN...\n");
        return 2;
    }

    CPluginScannerOptions options;
    options.server.serverPath = servers + L"\\ScanServer-x64.exe";
    options.serverPathX86 = servers + L"\\ScanServer-x86.exe";
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
