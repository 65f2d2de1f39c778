#include "host/PluginScanner.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <map>
#include <mutex>
#include <thread>

#include "host/MachineRoute.h"

namespace {

// How much longer than the fault took a suspect is watched when it is scanned again alone:
// ending a process can take a second or more under Wine on a busy machine.
constexpr std::chrono::milliseconds kRecheckMargin{3000};

// One job: a server of its own, and the results it gave, so that a late fault can revise them.
class CJob {
public:
    CJob(const CPluginScannerOptions& options, const CPluginScannerCallbacks& callbacks, std::vector<CPluginScan>& results,
         std::mutex& callbackLock)
        : options(options), callbacks(callbacks), results(results), callbackLock(callbackLock),
          x86Options(X86Options(options)), servers{CScanServer(options.server), CScanServer(x86Options)},
          haveX86(!options.serverPathX86.empty() &&
                  GetFileAttributesW(options.serverPathX86.c_str()) != INVALID_FILE_ATTRIBUTES)
    {
    }

    void ScanFile(size_t index, const std::string& path)
    {
        CPluginScan& scan = results[index];
        scan.request = path;
        const CRoute route = RouteFile(path, haveX86);
        scan.arch = MachineText(route.machine);
        if (route.machine == ServerMachine::kNone) {
            scan.outcome.error = route.problem;
            scan.outcome.hostFailure = route.serverMissing;
            Report(callbacks.finished, index);
            return;
        }
        const Machine machine = route.machine == ServerMachine::kX86 ? kX86 : kX64;
        scan.outcome = ScanConfirmed(machine, scan.request, {index, -1});
        if (scan.outcome.status == ScanStatus::kOk && scan.outcome.report.IsShell()) {
            scan.subPlugins.resize(scan.outcome.report.subPlugins.size());
            for (size_t i = 0; i < scan.subPlugins.size(); ++i) {
                CPluginScan& sub = scan.subPlugins[i];
                sub.request = SubPluginRequest(path, scan.outcome.report.subPlugins[i].id);
                sub.arch = scan.arch;
                sub.outcome = ScanConfirmed(machine, sub.request, {index, static_cast<int>(i)});
            }
        }
        Report(callbacks.finished, index);
    }

    // A late fault of the last plug-ins is still seen while the threads they left run on.
    void Finish()
    {
        for (Machine machine : {kX64, kX86}) {
            if (auto end = servers[machine].Settle(std::chrono::steady_clock::now() + options.lateFaultWindow))
                Blame(machine, *end, servers[machine].RecentRequests(options.lateFaultWindow));
            servers[machine].Stop();
        }
    }

private:
    enum Machine { kX64, kX86 };
    struct CPlace {
        size_t index;
        int sub;  // -1: the file itself
    };

    static CScanServerOptions X86Options(const CPluginScannerOptions& options)
    {
        CScanServerOptions x86 = options.server;
        x86.serverPath = options.serverPathX86;
        return x86;
    }
    const CScanServerOptions& OptionsFor(Machine machine) const { return machine == kX86 ? x86Options : options.server; }

    CScanOutcome ScanConfirmed(Machine machine, const std::string& request, CPlace place)
    {
        CScanServer& server = servers[machine];
        CScanOutcome outcome = server.Scan(request);
        // A server that ended after its last answer and before this request: some earlier
        // plug-in's doing.
        if (auto idle = server.TakeIdleEnd()) Blame(machine, idle->end, Recent(idle->answered));
        placed[request] = place;
        const bool bad = outcome.status == ScanStatus::kCrashed || outcome.status == ScanStatus::kTimedOut;
        if (!bad || outcome.priorRequests == 0) return outcome;
        if (outcome.status == ScanStatus::kCrashed && server.LastEnd())
            Blame(machine, *server.LastEnd(), server.RecentRequests(options.lateFaultWindow));
        CScanServer alone(OptionsFor(machine));
        return alone.Scan(request);
    }

    // The requests answered within the window in which a late fault may still be theirs.
    std::vector<CAnsweredRequest> Recent(const std::vector<CAnsweredRequest>& answered) const
    {
        const SteadyTime since = std::chrono::steady_clock::now() - options.lateFaultWindow;
        std::vector<CAnsweredRequest> recent;
        for (const auto& entry : answered)
            if (entry.answered >= since) recent.push_back(entry);
        return recent;
    }

    // Finds the plug-in whose leftover thread ended the server: the one whose library the dump
    // names, else the one that does it again when scanned alone.
    void Blame(Machine machine, const CServerEnd& end, std::vector<CAnsweredRequest> suspects)
    {
        if (suspects.empty()) return;
        if (!end.faultModule.empty()) {
            for (const auto& suspect : suspects)
                if (_stricmp(RequestLibrary(suspect.request).c_str(), end.faultModule.c_str()) == 0) {
                    Revise(suspect.request, end);
                    return;
                }
        }
        std::reverse(suspects.begin(), suspects.end());  // the latest first
        for (const auto& suspect : suspects) {
            const auto delay = std::chrono::duration_cast<std::chrono::milliseconds>(end.when - suspect.answered);
            CScanServer alone(OptionsFor(machine));
            const CScanOutcome again = alone.Scan(suspect.request);
            if (again.status == ScanStatus::kCrashed && alone.LastEnd()) {
                Revise(suspect.request, *alone.LastEnd());
                return;
            }
            if (auto late = alone.WaitForEnd(std::chrono::steady_clock::now() + delay + kRecheckMargin)) {
                Revise(suspect.request, *late);
                return;
            }
        }
    }

    void Revise(const std::string& request, const CServerEnd& end)
    {
        const auto found = placed.find(request);
        if (found == placed.end()) return;
        CPluginScan& scan = results[found->second.index];
        CScanOutcome& outcome = found->second.sub < 0 ? scan.outcome : scan.subPlugins[found->second.sub].outcome;
        outcome.status = ScanStatus::kCrashed;
        outcome.afterScan = true;
        outcome.exitCode = end.exitCode;
        outcome.exceptionCode = end.exceptionCode;
        outcome.dumpFile = end.dumpFile;
        outcome.faultModule = end.faultModule;
        outcome.error = "after its scan: " + end.Description();
        Report(callbacks.revised, found->second.index);
    }

    void Report(const std::function<void(size_t, const CPluginScan&)>& callback, size_t index)
    {
        if (callbacks.finishedOnThread) callbacks.finishedOnThread(index, results[index]);
        if (!callback) return;
        std::lock_guard<std::mutex> guard(callbackLock);
        callback(index, results[index]);
    }

    const CPluginScannerOptions& options;
    const CPluginScannerCallbacks& callbacks;
    std::vector<CPluginScan>& results;
    std::mutex& callbackLock;
    CScanServerOptions x86Options;
    CScanServer servers[2];  // by Machine, each started when first needed
    bool haveX86;
    std::map<std::string, CPlace> placed;  // where each request's outcome is kept
};

}  // namespace

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
        CJob job(options, callbacks, results, callbackLock);
        for (size_t index = next++; index < paths.size(); index = next++) {
            if (callbacks.started) {
                std::lock_guard<std::mutex> guard(callbackLock);
                callbacks.started(index, paths[index]);
            }
            job.ScanFile(index, paths[index]);
        }
        job.Finish();
    };

    const int jobs = std::clamp<int>(options.jobs, 1, static_cast<int>(std::max<size_t>(paths.size(), 1)));
    std::vector<std::thread> workers;
    for (int j = 1; j < jobs; ++j) workers.emplace_back(work);
    work();
    for (auto& worker : workers) worker.join();
    return results;
}
