#include "scanner/Records.h"

#include <cstdio>

namespace {

std::string Hex8(uint32_t value)
{
    char text[12];
    snprintf(text, sizeof(text), "%08X", static_cast<unsigned>(value));
    return text;
}

Json ReportJson(const CPluginReport& report)
{
    return Json{{"id", Hex8(report.id)},
                {"name", report.name},
                {"vendor", report.vendor},
                {"product", report.product},
                {"version", report.version},
                {"numInputs", report.numInputs},
                {"numOutputs", report.numOutputs},
                {"wantsMidi", report.wantsMidi},
                {"sendsMidi", report.sendsMidi},
                {"platform", report.platform},
                {"audio64", report.audio64},
                {"category", report.category},
                {"synthEdit", report.synthEdit}};
}

// The status, and what there is to know about it: the error, the crash's exit code, dump and
// last steps, and the report when the server gave one.
void AddOutcome(Json& record, const CScanOutcome& outcome)
{
    record["status"] = ScanStatusName(outcome.status);
    record["error"] = outcome.error;
    if (outcome.status == ScanStatus::kCrashed) {
        record["exitCode"] = outcome.exitCode;
        record["dump"] = ToUtf8(outcome.dumpFile);
        // The last steps the server took before it crashed show where it happened.
        const size_t keep = outcome.trace.size() < 3 ? outcome.trace.size() : 3;
        record["lastTrace"] = std::vector<std::string>(outcome.trace.end() - keep, outcome.trace.end());
    }
    record["scanSeconds"] = outcome.seconds;
    if (outcome.status == ScanStatus::kOk || outcome.status == ScanStatus::kFailed) record["report"] = ReportJson(outcome.report);
}

}  // namespace

Json PluginRecord(const CPluginFile& file, const CPluginScan& scan)
{
    Json record{{"path", file.path}, {"size", file.size}, {"modified", file.modified}, {"scannedAt", NowIso8601()}};
    AddOutcome(record, scan.outcome);
    if (scan.outcome.report.IsShell()) {
        Json subs = Json::array();
        for (size_t i = 0; i < scan.subPlugins.size(); ++i) {
            const auto& entry = scan.outcome.report.subPlugins[i];
            Json sub{{"request", scan.subPlugins[i].request}, {"id", Hex8(entry.id)}, {"listedName", entry.name}};
            AddOutcome(sub, scan.subPlugins[i].outcome);
            subs.push_back(std::move(sub));
        }
        record["subPlugins"] = std::move(subs);
    }
    return record;
}

std::vector<std::string> RecordStatuses(const Json& record)
{
    std::vector<std::string> statuses{record.value("status", "")};
    if (record.contains("subPlugins"))
        for (const auto& sub : record["subPlugins"]) statuses.push_back(sub.value("status", ""));
    return statuses;
}

bool RecordIsCurrent(const Json& record, const CPluginFile& file)
{
    return record.value("size", uint64_t{0}) == file.size && record.value("modified", "") == file.modified &&
           record.contains("status");
}
