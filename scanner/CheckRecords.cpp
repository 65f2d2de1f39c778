#include "scanner/CheckRecords.h"

namespace {

// null for what was not measured.
Json Fact(double value) { return value < 0 ? Json(nullptr) : Json(value); }
Json Fact(int32_t value) { return value < 0 ? Json(nullptr) : Json(value); }
Json Flag(int32_t value) { return value < 0 ? Json(nullptr) : Json(value != 0); }

// The plug-in of that key in a record, read-only or not.
template <typename Record>
Record* FindPlugin(Record& record, const std::string& key)
{
    if (record.contains("subPlugins") && record["subPlugins"].is_array()) {
        for (Record& sub : record["subPlugins"])
            if (PluginKey(sub) == key) return &sub;
        return nullptr;
    }
    return PluginKey(record) == key ? &record : nullptr;
}

}  // namespace

Json CheckJson(const CScanOutcome& check)
{
    const CheckStatus status = CheckStatusOf(check);
    const CCheckFacts& facts = check.report.facts;
    Json json{{"status", CheckStatusName(status)}, {"stage", CheckVerdictStage(check)}, {"verdict", CheckVerdictText(check)}};
    Json stages = Json::array();
    for (const CCheckStageEntry& stage : check.report.stages)
        stages.push_back({{"stage", stage.stage}, {"result", stage.result}, {"details", stage.details}});
    json["stages"] = std::move(stages);
    json["parameters"] = Fact(facts.parameters);
    json["hiddenParameters"] = Fact(facts.hiddenParameters);
    json["programs"] = Fact(facts.programs);
    json["latency"] = Fact(facts.latency);
    json["tail"] = Fact(facts.tailSeconds);
    json["announcedTail"] = Fact(facts.announcedTail);
    json["midiIn"] = Flag(facts.midiIn);
    json["midiOut"] = Flag(facts.midiOut);
    json["editor"] = facts.editor;
    json["audio64"] = facts.audio64;
    json["sampleRates"] = facts.sampleRates;
    json["blockSizes"] = facts.blockSizes;
    json["layouts"] = facts.layouts;
    json["load"] = Fact(facts.load);
    json["error"] = check.error;
    // The host's own failure (no server could be started): no verdict, checked again next time.
    if (check.hostFailure) json["hostFailure"] = true;
    if (check.status == ScanStatus::kCrashed) AddCrashFacts(json, check, "afterCheck");
    if ((check.status == ScanStatus::kCrashed && !check.afterScan) || check.status == ScanStatus::kTimedOut)
        json["lastTrace"] = LastSteps(check);
    json["dialogs"] = DialogsJson(check.dialogs);
    if (!check.leftBehind.empty()) json["leftBehind"] = check.leftBehind;
    // What the plug-in printed while it was checked: the start of it, and how much in all.
    json["printed"] = check.console.size() + check.consoleDropped;
    if (!check.console.empty()) {
        json["console"] = check.console;
        json["consoleDropped"] = check.consoleDropped;
    }
    json["checkSeconds"] = check.seconds;
    json["checkedAt"] = NowIso8601();
    return json;
}

bool CheckIsWellFormed(const Json& check, const std::string& where, std::string& problem)
{
    CheckStatus status;
    if (!check.is_object() || !check.contains("status") || !check["status"].is_string() ||
        !CheckStatusFromName(check["status"].get<std::string>(), status)) {
        problem = where + " has a check without a status it knows";
        return false;
    }
    auto kind = [&](const char* key, bool (Json::*is)() const noexcept, bool nullable) {
        if (!check.contains(key)) return true;
        const Json& value = check[key];
        return (value.*is)() || (nullable && value.is_null());
    };
    const bool fields = kind("stage", &Json::is_string, false) && kind("verdict", &Json::is_string, false) &&
                        kind("error", &Json::is_string, false) && kind("stages", &Json::is_array, false) &&
                        kind("parameters", &Json::is_number_integer, true) && kind("latency", &Json::is_number_integer, true) &&
                        kind("hiddenParameters", &Json::is_number_integer, true) && kind("programs", &Json::is_number_integer, true) && kind("announcedTail", &Json::is_number, true) &&
                        kind("midiIn", &Json::is_boolean, true) && kind("midiOut", &Json::is_boolean, true) &&
                        kind("printed", &Json::is_number_unsigned, false) &&
                        kind("tail", &Json::is_number, true) && kind("load", &Json::is_number, true) &&
                        kind("editor", &Json::is_boolean, false) && kind("audio64", &Json::is_boolean, false) &&
                        kind("sampleRates", &Json::is_string, false) && kind("blockSizes", &Json::is_string, false) && kind("layouts", &Json::is_string, false) &&
                        kind("dump", &Json::is_string, false) && kind("lastTrace", &Json::is_array, false) &&
                        kind("dialogs", &Json::is_array, false) && kind("checkSeconds", &Json::is_number, false) &&
                        kind("hostFailure", &Json::is_boolean, false) && kind("console", &Json::is_string, false) &&
                        kind("consoleDropped", &Json::is_number_unsigned, false) &&
                        kind("leftBehind", &Json::is_string, false);
    if (!fields) {
        problem = where + " has a check field of the wrong type";
        return false;
    }
    if (check.contains("stages"))
        for (const Json& stage : check["stages"])
            if (!stage.is_object() || !stage.contains("stage") || !stage["stage"].is_string() || !stage.contains("result") ||
                !stage["result"].is_string() || (stage.contains("details") && !stage["details"].is_string())) {
                problem = where + " has a check stage that is not what it should be";
                return false;
            }
    return true;
}

std::vector<const Json*> RecordPlugins(const Json& record)
{
    std::vector<const Json*> plugins;
    if (record.contains("subPlugins") && record["subPlugins"].is_array()) {
        for (const Json& sub : record["subPlugins"]) plugins.push_back(&sub);
    } else if (RecordFormat(record) == "vst2") {
        plugins.push_back(&record);
    }
    return plugins;
}

std::string PluginKey(const Json& plugin)
{
    const std::string request = RecordText(plugin, "request");
    return request.empty() ? RecordText(plugin, "path") : request;
}

std::optional<CheckStatus> KeptCheckStatus(const Json& plugin)
{
    CheckStatus status;
    if (!plugin.contains("check") || !plugin["check"].is_object() ||
        !CheckStatusFromName(RecordText(plugin["check"], "status"), status))
        return std::nullopt;
    return status;
}

bool RecordNeedsCheck(const Json& record, bool retryFailed)
{
    for (const Json* plugin : RecordPlugins(record)) {
        if (RecordText(*plugin, "status") != ScanStatusName(ScanStatus::kOk)) continue;
        const std::optional<CheckStatus> status = KeptCheckStatus(*plugin);
        if (!status || (retryFailed && IsBadCheck(*status)) || (*plugin)["check"].value("hostFailure", false)) return true;
    }
    return false;
}

bool RecordHasBadCheck(const Json& record, bool strict)
{
    for (const Json* plugin : RecordPlugins(record))
        if (const std::optional<CheckStatus> status = KeptCheckStatus(*plugin);
            status && (IsBadCheck(*status) || (strict && *status == CheckStatus::kWarnings)))
            return true;
    return false;
}

bool CheckIsKept(const Json& earlier, const std::string& key, bool retryFailed)
{
    const Json* plugin = FindPlugin(earlier, key);
    if (plugin == nullptr) return false;
    const std::optional<CheckStatus> status = KeptCheckStatus(*plugin);
    return status && !(retryFailed && IsBadCheck(*status)) && !(*plugin)["check"].value("hostFailure", false);
}

void KeepChecks(Json& record, const Json& earlier)
{
    for (const Json* old : RecordPlugins(earlier)) {
        if (!old->contains("check")) continue;
        Json* now = FindPlugin(record, PluginKey(*old));
        if (now && !now->contains("check") && RecordText(*now, "status") == ScanStatusName(ScanStatus::kOk))
            (*now)["check"] = (*old)["check"];
    }
}
