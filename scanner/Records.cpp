#include "scanner/Records.h"

#include <algorithm>
#include <cstdio>
#include <utility>
#include <vector>

#include "host/MinidumpReader.h"
#include "scanner/CheckRecords.h"
#include "protocol/PluginFormat.h"

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

bool IsModuleFormat(const std::string& format) { return format == "vst3" || format == "clap"; }

// What a VST 3 module or a CLAP file says of itself; its plug-ins are its sub-plug-ins, its
// other classes are listed here.
Json ModuleReportJson(const CPluginReport& report)
{
    Json json{{"format", report.format}, {"platform", report.platform}};
    if (report.format == "vst3") {
        json["vendor"] = report.vendor;
        json["url"] = report.url;
        json["email"] = report.email;
        Json classes = Json::array();
        for (const CModuleEntry& entry : report.entries) {
            if (entry.plugin) continue;
            Json listed{{"id", entry.id}, {"name", entry.name}, {"category", entry.category}};
            if (!entry.error.empty()) listed["error"] = entry.error;
            if (!entry.note.empty()) listed["note"] = entry.note;
            classes.push_back(std::move(listed));
        }
        json["classes"] = std::move(classes);
    } else {
        json["clapVersion"] = report.version;
    }
    if (!report.notes.empty()) json["notes"] = report.notes;
    return json;
}

// A channel count the plug-in gave no sensible number for is unknown: null.
Json ChannelsJson(int32_t channels) { return channels == kUnknownChannels ? Json(nullptr) : Json(channels); }

// Why a dialog has no picture, when nothing more is known: none was taken before it went, or
// no folder was given for pictures.
constexpr char kNoPictureTaken[] = "no picture was taken (the window went first, or pictures are not kept)";

// One plug-in of a module, as its file's scan found it.
Json ModulePluginJson(const CModuleEntry& entry, const std::string& format, const std::string& platform)
{
    Json json{{"id", entry.id},
              {"name", entry.name},
              {"vendor", entry.vendor},
              {"version", entry.version},
              {"category", format == "vst3" ? entry.subCategories : entry.category},
              {"numInputs", ChannelsJson(entry.numInputs)},
              {"numOutputs", ChannelsJson(entry.numOutputs)},
              {"wantsMidi", entry.wantsMidi},
              {"sendsMidi", entry.sendsMidi},
              {"platform", platform}};
    if (!entry.note.empty()) json["note"] = entry.note;
    // Every bus, so that a host sees sidechains and extra outputs beside the main ones counted above.
    Json buses = Json::array();
    for (const CBusEntry& bus : entry.buses)
        buses.push_back({{"name", bus.name}, {"direction", bus.input ? "in" : "out"}, {"main", bus.main},
                         {"channels", ChannelsJson(bus.channels)}, {"cv", bus.controlVoltage}});
    if (!buses.empty()) json["buses"] = std::move(buses);
    if (format == "vst3") {
        json["sdkVersion"] = entry.sdkVersion;
    } else {
        json["description"] = entry.description;
        json["url"] = entry.url;
    }
    return json;
}

// The status, and what there is to know about it: the error, the crash's exit code, dump and
// last steps, and the report when the server gave one.
void AddOutcome(Json& record, const CScanOutcome& outcome, const std::string& format)
{
    record["status"] = ScanStatusName(outcome.status);
    record["error"] = outcome.error;
    if (outcome.status == ScanStatus::kCrashed) {
        AddCrashFacts(record, outcome, "afterScan");
        // The last steps the server took before it crashed show where it happened.
        if (!outcome.afterScan) record["lastTrace"] = LastSteps(outcome);
    }
    record["scanSeconds"] = outcome.seconds;
    record["dialogs"] = DialogsJson(outcome.dialogs);
    if (!outcome.leftBehind.empty()) record["leftBehind"] = outcome.leftBehind;
    // What the plug-in printed; it never reaches the scanner's own output.
    record["console"] = outcome.console;
    record["consoleDropped"] = outcome.consoleDropped;
    // A module's file keeps only a module's report, with the classes it had reported when it
    // crashed or hung; a failure before the module answered (not a DLL, an empty binary, an
    // answer that did not fit) has none.
    if (IsModuleFormat(format)) {
        if (outcome.report.format == format) record["report"] = ModuleReportJson(outcome.report);
        return;
    }
    if (outcome.status == ScanStatus::kOk || outcome.status == ScanStatus::kFailed || outcome.afterScan)
        record["report"] = ReportJson(outcome.report);
}

}  // namespace

void AddCrashFacts(Json& json, const CScanOutcome& outcome, const char* afterKey)
{
    json["exitCode"] = outcome.exitCode;
    json["dump"] = ToUtf8(outcome.dumpFile);
    if (outcome.exceptionCode) json["exception"] = ExceptionCodeText(outcome.exceptionCode);
    if (!outcome.faultModule.empty()) json["faultModule"] = outcome.faultModule;
    json[afterKey] = outcome.afterScan;
}

Json LastSteps(const CScanOutcome& outcome)
{
    const size_t keep = outcome.trace.size() < 3 ? outcome.trace.size() : 3;
    return std::vector<std::string>(outcome.trace.end() - keep, outcome.trace.end());
}

Json DialogsJson(const std::vector<CDialogRecord>& records)
{
    Json dialogs = Json::array();
    for (const CDialogRecord& dialog : records)
        dialogs.push_back({{"title", dialog.title}, {"class", dialog.className}, {"texts", dialog.texts},
                           {"buttons", dialog.buttons},
                           {"rect", {dialog.rect.left, dialog.rect.top, dialog.rect.right, dialog.rect.bottom}},
                           {"picture", ToUtf8(dialog.picture)}, {"action", dialog.action}});
    // A dialog without a picture says why: never an empty name.
    for (size_t i = 0; i < records.size(); ++i) {
        if (!records[i].picture.empty()) continue;
        const std::string& problem = records[i].pictureProblem;
        dialogs[i]["picture"] = nullptr;
        dialogs[i]["pictureError"] = problem.empty() ? std::string(kNoPictureTaken) : problem;
    }
    return dialogs;
}

Json PluginRecord(const CPluginFile& file, const CPluginScan& scan)
{
    Json record{{"path", file.path}, {"size", file.size}, {"modified", file.modified}, {"scannedAt", NowIso8601()},
                {"arch", scan.arch}, {"format", scan.format}};
    if (!file.bundle.empty()) record["bundle"] = file.bundle;
    AddOutcome(record, scan.outcome, scan.format);
    if (scan.check) record["check"] = CheckJson(*scan.check);
    if (IsModuleFormat(scan.format) && !scan.subPlugins.empty()) {
        Json subs = Json::array();
        for (const CPluginScan& sub : scan.subPlugins) {
            const CModuleEntry& entry = sub.outcome.report.entries.front();
            subs.push_back({{"request", sub.request}, {"id", entry.id}, {"listedName", entry.name}, {"format", scan.format},
                            {"status", ScanStatusName(sub.outcome.status)}, {"error", sub.outcome.error},
                            {"report", ModulePluginJson(entry, scan.format, sub.outcome.report.platform)}});
            if (sub.check) subs.back()["check"] = CheckJson(*sub.check);
        }
        record["subPlugins"] = std::move(subs);
    } else if (scan.outcome.report.IsShell()) {
        Json subs = Json::array();
        for (size_t i = 0; i < scan.subPlugins.size(); ++i) {
            const auto& entry = scan.outcome.report.subPlugins[i];
            Json sub{{"request", scan.subPlugins[i].request}, {"id", Hex8(entry.id)}, {"listedName", entry.name},
                     {"format", scan.format}};
            AddOutcome(sub, scan.subPlugins[i].outcome, scan.format);
            if (scan.subPlugins[i].check) sub["check"] = CheckJson(*scan.subPlugins[i].check);
            subs.push_back(std::move(sub));
        }
        record["subPlugins"] = std::move(subs);
    }
    return record;
}

std::string RecordText(const Json& record, const char* key)
{
    return record.is_object() && record.contains(key) && record[key].is_string() ? record[key].get<std::string>() : "";
}

std::string RecordFormat(const Json& record)
{
    const std::string format = RecordText(record, "format");
    return format.empty() ? "vst2" : format;
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

namespace {

enum class Kind { kString, kTextOrNull, kUnsigned, kInteger, kCount, kNumber, kBoolean, kObject, kArray };

bool HasKind(const Json& value, Kind kind)
{
    switch (kind) {
    case Kind::kString: return value.is_string();
    case Kind::kTextOrNull: return value.is_string() || value.is_null();
    case Kind::kUnsigned: return value.is_number_unsigned();
    case Kind::kInteger: return value.is_number_integer();
    case Kind::kCount: return value.is_number_integer() || value.is_null();
    case Kind::kNumber: return value.is_number();
    case Kind::kBoolean: return value.is_boolean();
    case Kind::kObject: return value.is_object();
    case Kind::kArray: return value.is_array();
    }
    return false;
}

struct CField {
    const char* name;
    Kind kind;
    bool required;
};

bool FieldsAreWellFormed(const Json& object, std::initializer_list<CField> fields, const std::string& where,
                         std::string& problem)
{
    if (!object.is_object()) {
        problem = where + " is not an object";
        return false;
    }
    for (const CField& field : fields) {
        if (!object.contains(field.name)) {
            if (!field.required) continue;
            problem = where + " has no \"" + field.name + "\"";
            return false;
        }
        if (!HasKind(object[field.name], field.kind)) {
            problem = where + " has a \"" + field.name + "\" of the wrong type";
            return false;
        }
    }
    return true;
}

bool ArrayOf(const Json& value, Kind kind)
{
    if (!value.is_array()) return false;
    for (const auto& element : value)
        if (!HasKind(element, kind)) return false;
    return true;
}

// Every dialog an object, with each field of the type the writers take it for.
bool DialogsAreWellFormed(const Json& dialogs, const std::string& where, std::string& problem)
{
    for (const auto& dialog : dialogs) {
        if (!FieldsAreWellFormed(dialog, {{"title", Kind::kString, false}, {"class", Kind::kString, false},
                                          {"texts", Kind::kArray, false}, {"buttons", Kind::kArray, false},
                                          {"rect", Kind::kArray, false}, {"picture", Kind::kTextOrNull, false},
                                          {"pictureProblem", Kind::kString, false},
                                          {"pictureError", Kind::kString, false}, {"action", Kind::kString, false}},
                                 where + "'s dialog", problem))
            return false;
        const bool listsOk = (!dialog.contains("texts") || ArrayOf(dialog["texts"], Kind::kString)) &&
                             (!dialog.contains("buttons") || ArrayOf(dialog["buttons"], Kind::kString)) &&
                             (!dialog.contains("rect") || (ArrayOf(dialog["rect"], Kind::kInteger) && dialog["rect"].size() == 4));
        if (!listsOk) {
            problem = where + " has a dialog whose texts, buttons or rectangle are not what they should be";
            return false;
        }
    }
    return true;
}

// How deeply a value nests, counted without recursion and only as far as `limit` + 1: a
// damaged file can nest as deep as it is long, deeper than any stack.
size_t NestingDepth(const Json& value, size_t limit)
{
    std::vector<std::pair<const Json*, size_t>> open{{&value, 1}};
    size_t deepest = 0;
    while (!open.empty() && deepest <= limit) {
        const auto [at, depth] = open.back();
        open.pop_back();
        deepest = std::max(deepest, depth);
        if (at->is_structured())
            for (const auto& element : *at) open.emplace_back(&element, depth + 1);
    }
    return deepest;
}

bool OutcomeIsWellFormed(const Json& object, const std::string& where, std::string& problem)
{
    if (!FieldsAreWellFormed(object, {{"status", Kind::kString, true}, {"error", Kind::kString, false},
                                      {"exitCode", Kind::kUnsigned, false}, {"dump", Kind::kString, false},
                                      {"lastTrace", Kind::kArray, false}, {"scanSeconds", Kind::kNumber, false},
                                      {"console", Kind::kString, false}, {"consoleDropped", Kind::kUnsigned, false},
                                      {"exception", Kind::kString, false}, {"faultModule", Kind::kString, false},
                                      {"afterScan", Kind::kBoolean, false}, {"dialogs", Kind::kArray, false},
                                      {"format", Kind::kString, false}, {"leftBehind", Kind::kString, false},
                                      {"report", Kind::kObject, false}},
                             where, problem))
        return false;
    if (object.contains("lastTrace") && !ArrayOf(object["lastTrace"], Kind::kString)) {
        problem = where + " has a \"lastTrace\" line that is not text";
        return false;
    }
    if (object.contains("dialogs") && !DialogsAreWellFormed(object["dialogs"], where, problem)) return false;
    if (object.contains("check") && !CheckIsWellFormed(object["check"], where, problem)) return false;
    if (!object.contains("report")) return true;
    // A module's report, and the report of one of its plug-ins, have fields of their own.
    const std::string format = RecordFormat(object);
    if (IsModuleFormat(format) && object["report"].is_object() && object["report"].contains("format"))
        return FieldsAreWellFormed(object["report"], {{"format", Kind::kString, true}, {"platform", Kind::kString, false},
                                                      {"classes", Kind::kArray, false}},
                                   where + "'s report", problem);
    if (IsModuleFormat(format))
        return FieldsAreWellFormed(object["report"],
                                   {{"id", Kind::kString, true}, {"name", Kind::kString, true}, {"vendor", Kind::kString, true},
                                    {"version", Kind::kString, true}, {"category", Kind::kString, true},
                                    {"numInputs", Kind::kCount, true}, {"numOutputs", Kind::kCount, true},
                                    {"wantsMidi", Kind::kBoolean, true}, {"sendsMidi", Kind::kBoolean, true},
                                    {"buses", Kind::kArray, false}},
                                   where + "'s report", problem);
    return FieldsAreWellFormed(object["report"],
                               {{"id", Kind::kString, true}, {"name", Kind::kString, true}, {"vendor", Kind::kString, true},
                                {"product", Kind::kString, true}, {"version", Kind::kString, true},
                                {"numInputs", Kind::kInteger, true}, {"numOutputs", Kind::kInteger, true},
                                {"wantsMidi", Kind::kBoolean, true}, {"sendsMidi", Kind::kBoolean, true},
                                {"platform", Kind::kString, true}, {"audio64", Kind::kBoolean, true},
                                {"category", Kind::kInteger, true}, {"synthEdit", Kind::kBoolean, true}},
                               where + "'s report", problem);
}

}  // namespace

bool RecordIsWellFormed(const Json& record, std::string& problem)
{
    const bool named = record.is_object() && record.contains("path") && record["path"].is_string();
    const std::string where = named ? "the record of " + record["path"].get<std::string>() : "the record";
    if (NestingDepth(record, kDeepestRecord) > kDeepestRecord) {
        problem = where + " nests deeper than " + std::to_string(kDeepestRecord) + " levels";
        return false;
    }
    if (!FieldsAreWellFormed(record, {{"path", Kind::kString, true}, {"size", Kind::kUnsigned, true},
                                      {"modified", Kind::kString, true}, {"scannedAt", Kind::kString, false},
                                      {"arch", Kind::kString, false}, {"format", Kind::kString, false},
                                      {"bundle", Kind::kString, false},
                                      {"subPlugins", Kind::kArray, false}},
                             where, problem))
        return false;
    if (!OutcomeIsWellFormed(record, where, problem)) return false;
    if (record.contains("subPlugins"))
        for (const auto& sub : record["subPlugins"]) {
            if (!FieldsAreWellFormed(sub, {{"request", Kind::kString, true}, {"id", Kind::kString, true},
                                           {"listedName", Kind::kString, true}},
                                     where + ", sub-plug-in", problem) ||
                !OutcomeIsWellFormed(sub, where + ", sub-plug-in", problem))
                return false;
        }
    return true;
}

Json UnreadableFileRecord(const CPluginFile& file)
{
    Json record{{"path", file.path}, {"size", 0}, {"modified", ""}, {"scannedAt", NowIso8601()},
                {"format", FormatName(FormatOfPath(file.path))}, {"status", ScanStatusName(ScanStatus::kFailed)},
                {"error", file.problem}, {"scanSeconds", 0.0}};
    if (!file.bundle.empty()) record["bundle"] = file.bundle;
    return record;
}

bool RecordIsKnownBad(const Json& record)
{
    for (const auto& status : RecordStatuses(record))
        if (status != ScanStatusName(ScanStatus::kOk)) return true;
    return false;
}
