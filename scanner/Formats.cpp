#include "scanner/Formats.h"

#include <algorithm>
#include <iterator>
#include <map>

#include "host/Paths.h"
#include "host/SafeText.h"
#include "protocol/PluginFormat.h"
#include "scanner/CheckRecords.h"

namespace {

// The VST 2 categories by name; a number beyond them is shown as it is.
std::string Category(int category)
{
    static const char* const kNames[] = {"unknown",  "effect",     "instrument", "analysis", "mastering", "spatializer",
                                         "room fx",  "surround fx", "restoration", "offline", "shell",     "generator"};
    if (category == -1) return "-";
    if (category >= 0 && category < static_cast<int>(std::size(kNames))) return kNames[category];
    return std::to_string(category);
}

const Json& Report(const Json& record)
{
    static const Json none = Json::object();
    return record.contains("report") ? record["report"] : none;
}

std::string Note(const Json& record)
{
    std::string note = RecordText(record, "error");
    auto add = [&](const std::string& more) {
        if (!more.empty()) note += (note.empty() ? "" : "; ") + more;
    };
    // What the server cut or doubted in a module's answer.
    add(RecordText(Report(record), "notes"));
    add(RecordText(Report(record), "note"));
    if (const std::string left = RecordText(record, "leftBehind"); !left.empty()) add("left behind: " + left);
    const std::string dump = RecordText(record, "dump");
    if (!dump.empty()) add("dump " + dump);
    return note;
}

// One row per file and per sub-plug-in: the cells the table and the CSV share.
struct CRow {
    const Json* record;
    std::string path, subId, arch, format, bundle;
    std::string name;  // what the row is called: the plug-in's name, or for a module its file
    bool sub = false;  // a sub-plug-in's row, under its file's
};

std::string ReportName(const Json& record)
{
    return record.contains("report") ? RecordText(record["report"], "name") : "";
}

// A module has no name of its own: it is called by its only plug-in, or by its file.
std::string ModuleRowName(const Json& record)
{
    if (record.contains("subPlugins") && record["subPlugins"].size() == 1) {
        const std::string only = ReportName(record["subPlugins"][0]);
        if (!only.empty()) return only;
    }
    std::string file = FileNameOf(record.value("path", ""));
    const size_t dot = file.find_last_of('.');
    return dot == std::string::npos || dot == 0 ? file : file.substr(0, dot);
}

std::vector<CRow> Rows(const std::vector<Json>& records)
{
    std::vector<CRow> rows;
    for (const auto& record : records) {
        const std::string format = RecordFormat(record);
        const std::string path = record.value("path", ""), arch = record.value("arch", "");
        const std::string bundle = RecordText(record, "bundle");
        const bool module = format == "vst3" || format == "clap";
        rows.push_back({&record, path, "", arch, format, bundle, module ? ModuleRowName(record) : ReportName(record)});
        if (record.contains("subPlugins"))
            for (const auto& sub : record["subPlugins"]) {
                std::string name = ReportName(sub);
                if (name.empty()) name = RecordText(sub, "listedName");
                rows.push_back({&sub, path, RecordText(sub, "id"), arch, format, bundle, name, true});
            }
    }
    return rows;
}

// A plug-in's kind, the same words whatever its format: a VST 2 category by name; the first of a
// VST 3 plug-in's sub-categories or a CLAP plug-in's features as that name, the rest after it.
std::string CategoryCell(const Json& report)
{
    if (!report.contains("category")) return "";
    if (report["category"].is_number_integer()) return Category(report["category"].get<int>());
    if (!report["category"].is_string()) return "";
    static const std::map<std::string, std::string> kKinds = {
        {"fx", "effect"},          {"audio-effect", "effect"},   {"instrument", "instrument"},
        {"analyzer", "analysis"},  {"mastering", "mastering"},   {"spatial", "spatializer"},
        {"generator", "generator"}, {"restoration", "restoration"}, {"onlyofflineprocess", "offline"},
        {"note-effect", "note effect"}, {"note-detector", "note detector"}};
    std::vector<std::string> words;
    const std::string text = report["category"].get<std::string>();
    for (size_t start = 0; start <= text.size();) {
        const size_t end = std::min(text.find('|', start), text.size());
        if (end > start) words.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    if (words.empty()) return "";
    std::string lowered = words[0];
    std::transform(lowered.begin(), lowered.end(), lowered.begin(), [](unsigned char c) { return std::tolower(c); });
    const auto kind = kKinds.find(lowered);
    if (kind == kKinds.end()) return text;
    std::string cell = kind->second;
    for (size_t i = 1; i < words.size(); ++i) {
        std::string word = words[i];
        std::transform(word.begin(), word.end(), word.begin(), [](unsigned char c) { return std::tolower(c); });
        cell += (i == 1 ? " (" : ", ") + word + (i + 1 == words.size() ? ")" : "");
    }
    return cell;
}

// A version as every format's plug-in would give it: a fourth number that is 0 is left out, so
// that a VST 2 plug-in's "1.0.0.0" reads as its VST 3 and CLAP twins' "1.0.0".
std::string VersionCell(const std::string& version)
{
    int dots = 0;
    for (char c : version) {
        if (c == '.') ++dots;
        else if (c < '0' || c > '9') return version;
    }
    if (dots == 3 && version.size() > 2 && version.compare(version.size() - 2, 2, ".0") == 0)
        return version.substr(0, version.size() - 2);
    return version;
}

// A plug-in's name may hold tabs and line breaks, which would break the table's rows, and
// other controls, which a terminal would obey: each is shown as a picture of itself.
std::string OneLine(const std::string& text) { return TerminalSafe(text); }

// Every cell is cut in the table (JSON and CSV keep texts whole), by terminal cells.
std::string Clip(const std::string& text, size_t width = 36) { return ClipToWidth(text, width); }

std::string FirstDialogTitle(const Json& record)
{
    if (!record.contains("dialogs") || !record["dialogs"].is_array() || record["dialogs"].empty()) return "";
    const Json& first = record["dialogs"][0];
    return first.is_object() && first.contains("title") && first["title"].is_string() ? first["title"].get<std::string>() : "";
}

bool AnyCheck(const std::vector<Json>& records)
{
    for (const Json& record : records)
        for (const Json* plugin : RecordPlugins(record))
            if (plugin->contains("check")) return true;
    return false;
}

const Json& Check(const Json& plugin)
{
    static const Json none = Json::object();
    return plugin.contains("check") && plugin["check"].is_object() ? plugin["check"] : none;
}

// "passed", "warnings in parameters", "crashed in process at 96000 Hz, blocks of 1"; empty for
// a row with no check.
std::string CheckCell(const Json& plugin)
{
    const Json& check = Check(plugin);
    const std::string status = RecordText(check, "status"), stage = RecordText(check, "stage");
    return stage.empty() ? status : status + " in " + stage;
}

// The real-time load as a percentage of one core.
std::string LoadCell(const Json& plugin)
{
    const Json& check = Check(plugin);
    if (!check.contains("load") || !check["load"].is_number()) return check.empty() ? "" : "-";
    char text[32];
    snprintf(text, sizeof(text), "%.1f%%", check["load"].get<double>());
    return text;
}

// What MIDI the checked plug-in takes and sends, as it answered once open: "in/out", "in",
// "out" or "-"; empty for a row with no check.
std::string MidiCell(const Json& plugin)
{
    const Json& check = Check(plugin);
    if (check.empty()) return "";
    auto says = [&](const char* key) { return check.contains(key) && check[key].is_boolean() && check[key].get<bool>(); };
    const std::string both = std::string(says("midiIn") ? "in" : "") + (says("midiIn") && says("midiOut") ? "/" : "") +
                             (says("midiOut") ? "out" : "");
    return both.empty() ? "-" : both;
}

// What a check that did not pass found, after the verdict's status and stage.
std::string CheckNote(const Json& plugin)
{
    const std::string verdict = RecordText(Check(plugin), "verdict");
    const size_t colon = verdict.find(": ");
    return colon == std::string::npos ? "" : "check: " + verdict.substr(colon + 2);
}

std::string CsvField(const std::string& text)
{
    if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
    std::string quoted = "\"";
    for (char c : text) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
    return quoted + "\"";
}

}  // namespace

std::string FormatTable(const std::vector<Json>& records)
{
    // The check's columns come after the scan's status, only when there are checks to show.
    const bool checks = AnyCheck(records);
    std::vector<std::vector<std::string>> cells = {
        {"STATUS", "ARCH", "FORMAT", "ID", "CATEGORY", "NAME", "VENDOR", "VERSION", "PLUG-IN", "NOTE"}};
    if (checks) cells[0].insert(cells[0].begin() + 1, {"CHECK", "LOAD", "MIDI"});
    for (const auto& row : Rows(records)) {
        const Json& report = Report(*row.record);
        // A sub-plug-in's row names it; its id is in the ID column.
        std::string plugin = row.sub ? "  > " + row.name : FileNameOf(row.path);
        // A Linux bundle's binary is NAME.so: the bundle names it.
        const std::string bundle = RecordText(*row.record, "bundle");
        if (!row.sub && !bundle.empty() && FormatOfPath(plugin) != PluginFormat::kVst3) plugin = FileNameOf(bundle);
        std::string note = Note(*row.record);
        if (checks && !CheckNote(*row.record).empty()) note += (note.empty() ? "" : "; ") + CheckNote(*row.record);
        cells.push_back({row.record->value("status", ""), row.arch, row.format, Clip(OneLine(RecordText(report, "id"))),
                         Clip(OneLine(CategoryCell(report)), 24), Clip(OneLine(row.name)),
                         Clip(OneLine(RecordText(report, "vendor"))), Clip(OneLine(VersionCell(RecordText(report, "version"))), 24),
                         Clip(OneLine(plugin), 48), Clip(OneLine(note), 120)});
        if (checks)
            cells.back().insert(cells.back().begin() + 1,
                                {Clip(OneLine(CheckCell(*row.record)), 48), LoadCell(*row.record), MidiCell(*row.record)});
    }
    std::vector<size_t> widths(cells[0].size(), 0);
    for (const auto& line : cells)
        for (size_t c = 0; c < line.size(); ++c) widths[c] = std::max(widths[c], TerminalWidth(line[c]));
    std::string table;
    for (const auto& line : cells) {
        std::string text;
        for (size_t c = 0; c < line.size(); ++c) {
            text += line[c];
            if (c + 1 < line.size()) text += std::string(widths[c] - TerminalWidth(line[c]) + 2, ' ');
        }
        while (!text.empty() && text.back() == ' ') text.pop_back();
        table += text + "\n";
    }
    return table;
}

std::string FormatJson(const std::vector<Json>& records)
{
    Json document{{"plugins", records}};
    return EscapeInvisibleInJson(document.dump(2, ' ', false, Json::error_handler_t::replace)) + "\n";
}

std::string FormatCsv(const std::vector<Json>& records)
{
    // The check's columns go last, only when there are checks: the others keep their places.
    const bool checks = AnyCheck(records);
    std::string csv = "path,sub_plugin,status,arch,format,id,name,vendor,product,version,category,inputs,outputs,"
                      "wants_midi,sends_midi,audio64,synthedit,error,dump,dialog,seconds,bundle";
    if (checks)
        csv += ",check,check_stage,check_verdict,load,latency,tail,parameters,has_editor,check_audio64,sample_rates,"
               "block_sizes,check_dump,check_seconds,hidden_parameters,announced_tail,midi_in,midi_out,printed,programs,layouts";
    csv += "\r\n";
    for (const auto& row : Rows(records)) {
        const Json& r = *row.record;
        const Json& report = Report(r);
        auto number = [](const Json& from, const char* key) {
            return from.contains(key) && !from[key].is_null() ? from[key].dump() : std::string();
        };
        auto fact = [&](const char* key) { return number(report, key); };
        std::vector<std::string> fields = {
            row.path, row.subId, RecordText(r, "status"), row.arch, row.format, RecordText(report, "id"),
            RecordText(report, "name"), RecordText(report, "vendor"), RecordText(report, "product"),
            RecordText(report, "version"),
            report.contains("category") && report["category"].is_string() ? report["category"].get<std::string>() : fact("category"),
            fact("numInputs"), fact("numOutputs"), fact("wantsMidi"), fact("sendsMidi"), fact("audio64"), fact("synthEdit"),
            RecordText(r, "error"), RecordText(r, "dump"), FirstDialogTitle(r),
            r.contains("scanSeconds") ? r["scanSeconds"].dump() : "", row.bundle};
        if (checks) {
            const Json& check = Check(r);
            for (const char* key : {"status", "stage", "verdict"}) fields.push_back(RecordText(check, key));
            for (const char* key : {"load", "latency", "tail", "parameters", "editor", "audio64"}) fields.push_back(number(check, key));
            for (const char* key : {"sampleRates", "blockSizes", "dump"}) fields.push_back(RecordText(check, key));
            for (const char* key : {"checkSeconds", "hiddenParameters", "announcedTail", "midiIn", "midiOut", "printed", "programs"})
                fields.push_back(number(check, key));
            fields.push_back(RecordText(check, "layouts"));
        }
        // Every field is shown as the table shows it (no terminal obeys a plug-in's escape
        // sequence or bidirectional override) and guarded against spreadsheets, whatever it
        // should hold: a database or a report is only as trustworthy as what wrote it.
        for (size_t f = 0; f < fields.size(); ++f)
            csv += CsvField(FormulaSafe(TerminalSafe(fields[f]))) + (f + 1 < fields.size() ? "," : "\r\n");
    }
    return csv;
}
