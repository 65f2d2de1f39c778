#include "scanner/Formats.h"

#include <algorithm>
#include <iterator>

#include "host/Paths.h"
#include "host/SafeText.h"

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
    std::string note = record.value("error", "");
    if (record.contains("dump") && !record["dump"].get<std::string>().empty()) note += "; dump " + record["dump"].get<std::string>();
    return note;
}

// One row per file and per sub-plug-in: the cells the table and the CSV share.
struct CRow {
    const Json* record;
    std::string path, subId, arch, format;
};

std::vector<CRow> Rows(const std::vector<Json>& records)
{
    std::vector<CRow> rows;
    for (const auto& record : records) {
        const std::string format = RecordFormat(record);
        rows.push_back({&record, record.value("path", ""), "", record.value("arch", ""), format});
        if (record.contains("subPlugins"))
            for (const auto& sub : record["subPlugins"])
                rows.push_back({&sub, record.value("path", ""), sub.value("id", ""), record.value("arch", ""), format});
    }
    return rows;
}

// A VST 2 category by name; a module plug-in's is a text already.
std::string CategoryCell(const Json& report)
{
    if (!report.contains("category")) return "";
    if (report["category"].is_string()) return report["category"].get<std::string>();
    return report["category"].is_number_integer() ? Category(report["category"].get<int>()) : "";
}

// A plug-in's name may hold tabs and line breaks, which would break the table's rows, and
// other controls, which a terminal would obey: each is shown as a picture of itself.
std::string OneLine(const std::string& text) { return TerminalSafe(text); }

size_t DisplayWidth(const std::string& text)
{
    return static_cast<size_t>(std::count_if(text.begin(), text.end(), [](char c) { return (c & 0xC0) != 0x80; }));
}

// Long names are cut in the table (JSON and CSV keep them whole), at a character boundary.
std::string Clip(const std::string& text, size_t width = 36)
{
    if (DisplayWidth(text) <= width) return text;
    size_t characters = 0, end = 0;
    while (end < text.size() && characters < width - 3) {
        ++end;
        while (end < text.size() && (text[end] & 0xC0) == 0x80) ++end;
        ++characters;
    }
    return text.substr(0, end) + "...";
}

std::string FirstDialogTitle(const Json& record)
{
    if (!record.contains("dialogs") || !record["dialogs"].is_array() || record["dialogs"].empty()) return "";
    const Json& first = record["dialogs"][0];
    return first.is_object() && first.contains("title") && first["title"].is_string() ? first["title"].get<std::string>() : "";
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
    std::vector<std::vector<std::string>> cells = {
        {"STATUS", "ARCH", "FORMAT", "ID", "CATEGORY", "NAME", "VENDOR", "VERSION", "PLUG-IN", "NOTE"}};
    for (const auto& row : Rows(records)) {
        const Json& report = Report(*row.record);
        const std::string plugin = OneLine(row.subId.empty() ? FileNameOf(row.path) : "  > " + row.subId);
        cells.push_back({row.record->value("status", ""), row.arch, row.format, Clip(OneLine(RecordText(report, "id"))),
                         Clip(OneLine(CategoryCell(report)), 24),
                         Clip(OneLine(report.value("name", ""))), Clip(OneLine(report.value("vendor", ""))), OneLine(report.value("version", "")), plugin,
                         OneLine(Note(*row.record))});
    }
    std::vector<size_t> widths(cells[0].size(), 0);
    for (const auto& line : cells)
        for (size_t c = 0; c < line.size(); ++c) widths[c] = std::max(widths[c], DisplayWidth(line[c]));
    std::string table;
    for (const auto& line : cells) {
        std::string text;
        for (size_t c = 0; c < line.size(); ++c) {
            text += line[c];
            if (c + 1 < line.size()) text += std::string(widths[c] - DisplayWidth(line[c]) + 2, ' ');
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
    std::string csv = "path,sub_plugin,status,arch,format,id,name,vendor,product,version,category,inputs,outputs,"
                      "wants_midi,sends_midi,audio64,synthedit,error,dump,dialog,seconds\r\n";
    for (const auto& row : Rows(records)) {
        const Json& r = *row.record;
        const Json& report = Report(r);
        auto number = [&](const char* key) { return report.contains(key) ? report[key].dump() : std::string(); };
        // Texts that came from outside are guarded against spreadsheets; numbers are ours.
        const std::vector<std::string> fields = {
            FormulaSafe(row.path), FormulaSafe(row.subId), r.value("status", ""), row.arch, row.format,
            FormulaSafe(RecordText(report, "id")),
            FormulaSafe(report.value("name", "")), FormulaSafe(report.value("vendor", "")),
            FormulaSafe(report.value("product", "")), FormulaSafe(report.value("version", "")),
            report.contains("category") && report["category"].is_string() ? FormulaSafe(report["category"].get<std::string>())
                                                                          : number("category"),
            number("numInputs"), number("numOutputs"), number("wantsMidi"), number("sendsMidi"), number("audio64"),
            number("synthEdit"), FormulaSafe(r.value("error", "")), FormulaSafe(r.value("dump", "")),
            FormulaSafe(FirstDialogTitle(r)), r.contains("scanSeconds") ? r["scanSeconds"].dump() : ""};
        for (size_t f = 0; f < fields.size(); ++f) csv += CsvField(fields[f]) + (f + 1 < fields.size() ? "," : "\r\n");
    }
    return csv;
}
