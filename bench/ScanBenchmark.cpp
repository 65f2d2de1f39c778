// How the scanning costs compare, measured side by side in one run under the same load:
// - a shell's sub-plug-ins scanned on the server that keeps the shell's library loaded,
//   against each sub-plug-in on a server of its own;
// - many plug-ins with one server against two at once.
// It prints figures; it asserts nothing, since these machines are shared and noisy.
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "host/Paths.h"
#include "host/PluginScanner.h"
#include "host/WindowsText.h"

namespace {

using Clock = std::chrono::steady_clock;

std::string Plugin(const std::wstring& bin, const char* name, const wchar_t* folder = L"plugins")
{
    return ToUtf8(bin + L"\\" + folder + L"\\") + name + ".dll";
}

double Seconds(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }

}  // namespace

int main()
{
    const std::wstring bin = ProgramFolder();
    CScanServerOptions server;
    server.serverPath = bin + L"\\ScanServer-x64.exe";
    server.timeout = std::chrono::milliseconds(60000);

    // A shell of 400 sub-plug-ins, the way the scanner does it.
    const std::string shell = Plugin(bin, "shell_with_many", L"bench-plugins");
    auto started = Clock::now();
    const auto scans = ScanPlugins({shell}, {server, 1});
    const double kept = Seconds(started);
    const size_t subPlugins = scans[0].subPlugins.size();
    size_t ok = 0;
    for (const auto& sub : scans[0].subPlugins) ok += sub.outcome.status == ScanStatus::kOk;

    // The first 40 of them again, each on a new server, as a host that restarts per plug-in does.
    constexpr uint32_t kFresh = 40;
    started = Clock::now();
    size_t freshOk = 0;
    for (uint32_t id = 1; id <= kFresh; ++id) {
        CScanServer fresh(server);
        freshOk += fresh.Scan(SubPluginRequest(shell, id)).status == ScanStatus::kOk;
    }
    const double perFresh = Seconds(started) / kFresh;
    const double perKept = kept / static_cast<double>(subPlugins + 1);
    printf("shell of %zu sub-plug-ins (%zu ok): %.1f ms per sub-plug-in on the server keeping the library, "
           "%.1f ms each on a new server (%zu ok): %.1fx\n",
           subPlugins, ok, perKept * 1000, perFresh * 1000, freshOk, perFresh / perKept);

    // 120 ordinary scans with one server and with two.
    std::vector<std::string> many;
    for (int i = 0; i < 40; ++i)
        for (const char* name : {"ordinary_effect", "synth_flag", "version_resource_only"}) many.push_back(Plugin(bin, name));
    started = Clock::now();
    ScanPlugins(many, {server, 1});
    const double one = Seconds(started);
    started = Clock::now();
    ScanPlugins(many, {server, 2});
    const double two = Seconds(started);
    printf("%zu plug-ins: %.2f s with one server, %.2f s with two: %.2fx\n", many.size(), one, two, one / two);
    return 0;
}
