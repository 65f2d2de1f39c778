#include "host/PluginScanner.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <mutex>
#include <thread>

std::string SubPluginRequest(const std::string& path, uint32_t id)
{
    char suffix[16];
    snprintf(suffix, sizeof(suffix), ">%08X", static_cast<unsigned>(id));
    return path + suffix;
}

std::vector<CPluginScan> ScanPlugins(const std::vector<std::string>& paths, const CPluginScannerOptions& options,
                                     const CPluginScannerCallbacks& callbacks)
{
    std::vector<CPluginScan> results(paths.size());
    std::atomic<size_t> next{0};
    std::mutex callbackLock;

    auto work = [&] {
        CScanServer server(options.server);
        for (size_t index = next++; index < paths.size(); index = next++) {
            if (callbacks.started) {
                std::lock_guard<std::mutex> guard(callbackLock);
                callbacks.started(index, paths[index]);
            }
            CPluginScan& scan = results[index];
            scan.request = paths[index];
            scan.outcome = server.Scan(scan.request);
            if (scan.outcome.status == ScanStatus::kOk && scan.outcome.report.IsShell()) {
                for (const CSubPluginEntry& entry : scan.outcome.report.subPlugins) {
                    CPluginScan sub;
                    sub.request = SubPluginRequest(paths[index], entry.id);
                    sub.outcome = server.Scan(sub.request);
                    scan.subPlugins.push_back(std::move(sub));
                }
            }
            if (callbacks.finishedOnThread) callbacks.finishedOnThread(index, scan);
            if (callbacks.finished) {
                std::lock_guard<std::mutex> guard(callbackLock);
                callbacks.finished(index, scan);
            }
        }
    };

    const int jobs = std::clamp<int>(options.jobs, 1, static_cast<int>(std::max<size_t>(paths.size(), 1)));
    std::vector<std::thread> workers;
    for (int j = 1; j < jobs; ++j) workers.emplace_back(work);
    work();
    for (auto& worker : workers) worker.join();
    return results;
}
