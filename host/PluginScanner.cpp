#include "host/PluginScanner.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <exception>
#include <map>
#include <mutex>
#include <thread>

#include "host/Blame.h"
#include "host/Bundles.h"
#include "host/MachineRoute.h"
#include "host/NativeText.h"
#include "host/ServerFolder.h"
#include "protocol/CheckRequest.h"
#include "protocol/Platform.h"
#include "protocol/PluginFormat.h"
#include "protocol/RequestText.h"

namespace {

// One job: its servers, and the results it gave, so that a late fault can revise them.
class CJob {
public:
    CJob(const CPluginScannerOptions& options, const CPluginScannerCallbacks& callbacks, std::vector<CPluginScan>& results,
         std::mutex& callbackLock)
        : options(options), callbacks(callbacks), results(results), callbackLock(callbackLock),
          haveX86(!options.serverPathX86.empty() && PathExists(options.serverPathX86)),
          blame(BlameOptions())
    {
    }

    void ScanFile(size_t index, const std::string& given)
    {
        CPluginScan& scan = results[index];
        scan.request = given;
        scan.format = FormatName(FormatOfPath(given));
        try {
            const std::string binary = BinaryToScan(scan);
            scan.request = binary.empty() ? given : binary;
            const CRoute route = binary.empty() ? CRoute{ServerMachine::kNone, NoBinaryProblem(scan.bundle)}
                                                : RouteFile(binary, haveX86);
            scan.arch = MachineText(route.machine);
            // Under Wine a Linux file name can hold what no Windows name can; the server's requests
            // keep '>' for a shell's sub-plug-ins, so such a name is never sent.
            if (const std::string forbidden = ForbiddenPathCharacter(scan.request, kWindowsFileNames); !forbidden.empty()) {
                scan.outcome.error = "the file name holds " + forbidden +
                                     (kWindowsFileNames ? ", which Windows file names cannot hold" : ", which a scan request cannot carry");
                scan.outcome.hostFailure = true;
            } else if (route.machine == ServerMachine::kNone) {
                scan.outcome.error = route.problem;
                scan.outcome.hostFailure = route.hostFailure;
            } else {
                ScanRouted(index, route.machine, scan);
            }
        } catch (const std::exception& e) {
            // The host's own failure: no verdict on the plug-in, and the other files go on.
            scan.outcome = CScanOutcome{};
            scan.outcome.error = std::string("the scanner failed: ") + e.what();
            scan.outcome.hostFailure = true;
        }
        Report(callbacks.finished, index);
    }

    void Finish() { blame.Finish(); }

private:
    struct CPlace {
        size_t index;
        int sub;  // -1: the file itself
        bool check = false;
    };

    // A bundle folder is scanned by one of its binaries, the 64-bit one when there is one; empty
    // when it holds none. Any other file is scanned as it is.
    static std::string BinaryToScan(CPluginScan& scan)
    {
        const bool folder = IsFolderPath(FromUtf8(scan.request));
        if (scan.format != std::string("vst3") || !folder) {
            scan.bundle = BundleOfBinary(scan.request);
            return scan.request;
        }
        scan.bundle = scan.request;
        for (const std::string& binary : BundleBinaryPaths(scan.bundle))
            if (PathExists(FromUtf8(binary))) return binary;
        return "";
    }

    CBlameOptions BlameOptions()
    {
        CBlameOptions blameOptions;
        blameOptions.x64 = options.server;
        blameOptions.x64.machine = MachineText(ServerMachine::kX64);
        blameOptions.x86 = options.server;
        blameOptions.x86.serverPath = options.serverPathX86;
        blameOptions.x86.machine = "x86";
        blameOptions.lateFaultWindow = options.lateFaultWindow;
        blameOptions.recheckLimit = options.recheckLimit;
        blameOptions.revise = [this](const std::string& request, const CServerEnd& end, bool afterScan) {
            Revise(request, end, afterScan);
        };
        blameOptions.unexplained = [this](const CUnexplainedEnd& end) {
            if (!callbacks.unexplained) return;
            std::lock_guard<std::mutex> guard(callbackLock);
            callbacks.unexplained(end);
        };
        return blameOptions;
    }

    void ScanRouted(size_t index, ServerMachine machine, CPluginScan& scan)
    {
        placed[scan.request] = {index, -1};
        scan.outcome = blame.Scan(machine, scan.request);
        if (!scan.outcome.report.entries.empty()) ListModulePlugins(scan);
        if (scan.outcome.status == ScanStatus::kOk && scan.outcome.report.IsShell()) {
            scan.subPlugins.resize(scan.outcome.report.subPlugins.size());
            for (size_t i = 0; i < scan.subPlugins.size(); ++i) {
                CPluginScan& sub = scan.subPlugins[i];
                sub.request = SubPluginRequest(scan.request, scan.outcome.report.subPlugins[i].id);
                sub.arch = scan.arch;
                placed[sub.request] = {index, static_cast<int>(i)};
                sub.outcome = blame.Scan(machine, sub.request);
            }
        }
        if (options.check) CheckPlugins(index, machine, scan);
    }

    // Each plug-in that scanned ok, checked on the same servers under the same rules.
    void CheckPlugins(size_t index, ServerMachine machine, CPluginScan& scan)
    {
        const bool vst2 = scan.format == "vst2";
        auto check = [&](CPluginScan& plugin, int sub, const std::string& id) {
            if (plugin.outcome.status != ScanStatus::kOk) return;
            if (callbacks.wantsCheck && !callbacks.wantsCheck(index, plugin)) return;
            CCheckRequest asked;
            asked.path = scan.request;
            asked.id = id;
            asked.editor = options.checkEditor;
            const std::string request = CheckRequestText(asked);
            // An id no request line can name (too long, or with a line break) is the plug-in's own
            // doing: a verdict, kept, not the host's failure, which would be checked again each time.
            const bool lineBreak = id.find_first_of("\r\n") != std::string::npos;
            if (request.size() > kLongestRequest || lineBreak) {
                CScanOutcome refused;
                refused.status = ScanStatus::kFailed;
                refused.checkStage = "open";
                refused.error = lineBreak ? "its id holds a line break, so it cannot be named in a check request"
                                          : "its id is too long to be named in a check request (" + std::to_string(id.size()) +
                                                " bytes; the request may have " + std::to_string(kLongestRequest) + " in all)";
                plugin.check = refused;
                return;
            }
            placed[request] = {index, sub, true};
            plugin.check = blame.Scan(machine, request);
        };
        if (vst2 && scan.subPlugins.empty() && !scan.outcome.report.IsShell()) check(scan, -1, "");
        for (size_t i = 0; i < scan.subPlugins.size(); ++i) {
            CPluginScan& sub = scan.subPlugins[i];
            const std::string id = vst2 ? sub.request.substr(sub.request.rfind('>') + 1)
                                        : sub.request.substr(scan.request.size() + 1);
            check(sub, static_cast<int>(i), id);
        }
    }

    // The plug-ins of a VST 3 module or a CLAP file, each with what the file's scan found of it.
    static void ListModulePlugins(CPluginScan& scan)
    {
        for (const CModuleEntry& entry : scan.outcome.report.entries) {
            if (!entry.plugin) continue;
            CPluginScan sub;
            sub.request = scan.request + ">" + entry.id;
            sub.arch = scan.arch;
            sub.format = scan.format;
            sub.outcome.status = entry.error.empty() ? ScanStatus::kOk : ScanStatus::kFailed;
            sub.outcome.error = entry.error;
            CPluginReport& report = sub.outcome.report;
            report.format = scan.format;
            report.platform = scan.outcome.report.platform;
            report.name = entry.name;
            report.vendor = entry.vendor;
            report.version = entry.version;
            report.numInputs = entry.numInputs;
            report.numOutputs = entry.numOutputs;
            report.wantsMidi = entry.wantsMidi;
            report.sendsMidi = entry.sendsMidi;
            report.entries = {entry};
            scan.subPlugins.push_back(std::move(sub));
        }
    }

    void Revise(const std::string& request, const CServerEnd& end, bool afterScan)
    {
        const auto found = placed.find(request);
        if (found == placed.end()) return;
        CPluginScan& scan = results[found->second.index];
        if (found->second.sub >= static_cast<int>(scan.subPlugins.size())) return;
        CPluginScan& plugin = found->second.sub < 0 ? scan : scan.subPlugins[found->second.sub];
        if (found->second.check && !plugin.check) return;
        CScanOutcome& outcome = found->second.check ? *plugin.check : plugin.outcome;
        outcome.status = ScanStatus::kCrashed;
        outcome.afterScan = afterScan;
        outcome.exitCode = end.exitCode;
        outcome.exceptionCode = end.exceptionCode;
        outcome.dumpFile = end.dumpFile;
        outcome.faultModule = end.faultModule;
        const bool check = found->second.check;
        outcome.error = (afterScan ? (check ? "after its check: " : "after its scan: ")
                                   : (check ? "when checked again alone: " : "when scanned again alone: ")) +
                        end.Description();
        if (check && afterScan) outcome.checkStage = "close";
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
    bool haveX86;
    std::map<std::string, CPlace> placed;  // where each request's outcome is kept
    CBlame blame;
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
        try {
            job.Finish();
        } catch (const std::exception& e) {
            // Every result is in already; what could not be watched to the end is said so.
            if (callbacks.unexplained) {
                CUnexplainedEnd failure;
                failure.why = std::string("the scanner failed while its servers ended: ") + e.what();
                std::lock_guard<std::mutex> guard(callbackLock);
                callbacks.unexplained(failure);
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
