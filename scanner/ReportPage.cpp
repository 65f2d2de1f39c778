#include "scanner/ReportPage.h"

#include "host/LoadErrors.h"
#include "host/Paths.h"
#include "host/SafeText.h"
#include "scanner/FileReplace.h"
#include "scanner/ReportPageAssets.h"
#include "scanner/Sha256.h"

namespace {

// Pictures larger than this are not embedded: a page stays small enough to mail.
constexpr size_t kLargestPicture = 4u << 20;

std::string Base64(const std::string& bytes)
{
    static const char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string text;
    text.reserve((bytes.size() + 2) / 3 * 4);
    for (size_t i = 0; i < bytes.size(); i += 3) {
        const uint32_t chunk = static_cast<uint8_t>(bytes[i]) << 16 |
                               (i + 1 < bytes.size() ? static_cast<uint8_t>(bytes[i + 1]) << 8 : 0) |
                               (i + 2 < bytes.size() ? static_cast<uint8_t>(bytes[i + 2]) : 0);
        text += kDigits[chunk >> 18 & 63];
        text += kDigits[chunk >> 12 & 63];
        text += i + 1 < bytes.size() ? kDigits[chunk >> 6 & 63] : '=';
        text += i + 2 < bytes.size() ? kDigits[chunk & 63] : '=';
    }
    return text;
}

// The SHA-256 of an inline script or style, as a Content-Security-Policy source names it.
std::string CspHash(const std::string& content)
{
    return "'sha256-" + Base64(Sha256(content)) + "'";
}

bool ReadPicture(const std::string& path, std::string& bytes)
{
    return ReadFileBytes(FromUtf8(path), bytes, kLargestPicture) && bytes.size() > 8 &&
           bytes.compare(0, 8, "\x89PNG\r\n\x1a\n") == 0;
}

void EmbedPictures(Json& outcome)
{
    if (!outcome.contains("dialogs") || !outcome["dialogs"].is_array()) return;
    for (Json& dialog : outcome["dialogs"]) {
        std::string bytes;
        if (dialog.is_object() && dialog.contains("picture") && dialog["picture"].is_string() &&
            ReadPicture(dialog["picture"].get<std::string>(), bytes))
            dialog["pictureData"] = "data:image/png;base64," + Base64(bytes);
    }
}

bool IsOk(const Json& record) { return record.value("status", "") == "ok"; }

// What the page's script uses of a record; the rest (sizes, times of files) stays out, so that
// ten thousand plug-ins make a page of a few megabytes.
Json PageRecord(const Json& record)
{
    Json kept = record;
    for (const char* unused : {"size", "modified", "scannedAt"}) kept.erase(unused);
    if (!IsOk(kept)) EmbedPictures(kept);
    // A check's dialogs are shown when it did not pass.
    auto embedCheck = [](Json& plugin) {
        if (plugin.contains("check") && plugin["check"].is_object() && RecordText(plugin["check"], "status") != "passed")
            EmbedPictures(plugin["check"]);
    };
    embedCheck(kept);
    if (kept.contains("subPlugins") && kept["subPlugins"].is_array())
        for (Json& sub : kept["subPlugins"]) {
            if (!sub.is_object()) continue;
            sub.erase("request");
            if (!IsOk(sub)) EmbedPictures(sub);
            embedCheck(sub);
        }
    return kept;
}

// The records as a plain table, for a browser without script.
std::string PlainTable(const std::vector<Json>& records)
{
    std::string table = "<table><thead><tr><th>Status</th><th>Name</th><th>Vendor</th><th>Version</th><th>Format</th>"
                        "<th>Machine</th><th>File</th><th>Error</th></tr></thead><tbody>\n";
    auto row = [&](const Json& record, const std::string& file, const std::string& arch, const std::string& format) {
        const Json empty = Json::object();
        const Json& report = record.contains("report") && record["report"].is_object() ? record["report"] : empty;
        table += "<tr><td>" + HtmlText(RecordText(record, "status")) + "</td><td>" + HtmlText(RecordText(report, "name")) + "</td><td>" +
                 HtmlText(RecordText(report, "vendor")) + "</td><td>" + HtmlText(RecordText(report, "version")) + "</td><td>" +
                 HtmlText(format) + "</td><td>" + HtmlText(arch) + "</td><td>" + HtmlText(file) + "</td><td>" +
                 HtmlText(RecordText(record, "error")) + "</td></tr>\n";
    };
    for (const Json& record : records) {
        const std::string format = RecordFormat(record);
        row(record, FileNameOf(RecordText(record, "path")), RecordText(record, "arch"), format);
        if (record.contains("subPlugins") && record["subPlugins"].is_array())
            for (const Json& sub : record["subPlugins"]) row(sub, "> " + RecordText(sub, "id"), RecordText(record, "arch"), format);
    }
    return table + "</tbody></table>\n";
}

}  // namespace

std::string HtmlText(const std::string& text)
{
    std::string safe;
    for (char c : TerminalSafe(text)) {
        switch (c) {
        case '&': safe += "&amp;"; break;
        case '<': safe += "&lt;"; break;
        case '>': safe += "&gt;"; break;
        case '"': safe += "&quot;"; break;
        case '\'': safe += "&#39;"; break;
        default: safe += c;
        }
    }
    return safe;
}

std::string JsonForScriptElement(const Json& value)
{
    // All of it ASCII; then no "<" at all, so neither "</script>" nor "<!--" can appear.
    const std::string json = value.dump(-1, ' ', true, Json::error_handler_t::replace);
    std::string safe;
    safe.reserve(json.size());
    for (char c : json) {
        if (c == '<') safe += "\\u003c";
        else if (c == '>') safe += "\\u003e";
        else if (c == '&') safe += "\\u0026";
        else safe += c;
    }
    return safe;
}

std::string ReportPageHtml(const std::vector<Json>& records, const CPageFacts& facts)
{
    Json data{{"generated", facts.generated}, {"plugins", Json::array()}};
    if (facts.scanSeconds >= 0) data["scanSeconds"] = facts.scanSeconds;
    for (const Json& record : records) data["plugins"].push_back(PageRecord(record));

    const std::string style = kReportPageStyle, script = kReportPageScript;
    const std::string policy = "default-src 'none'; script-src " + CspHash(script) + "; style-src " + CspHash(style) +
                               "; img-src data:; base-uri 'none'; form-action 'none'";
    std::string page = "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
                       "<meta http-equiv=\"Content-Security-Policy\" content=\"" + policy + "\">\n"
                       "<meta name=\"referrer\" content=\"no-referrer\">\n"
                       "<title>Plug-in scan report</title>\n<style>" + style + "</style>\n</head>\n<body>\n"
                       "<main id=\"page\"></main>\n"
                       "<noscript>\n<h1>Plug-in scan report</h1>\n<p>" + HtmlText(facts.generated) + "</p>\n" +
                       PlainTable(records) + "</noscript>\n"
                       "<script type=\"application/json\" id=\"scan-data\">" + JsonForScriptElement(data) + "</script>\n"
                       "<script>" + script + "</script>\n</body>\n</html>\n";
    return page;
}

bool WriteReportPage(const NativeText& path, const std::vector<Json>& records, const CPageFacts& facts, std::string& problem)
{
    unsigned long error = 0;
    if (ReplaceFileWhole(path, ReportPageHtml(records, facts), error)) return true;
    problem = "cannot write the report \"" + ToUtf8(path) + "\": " + SystemErrorText(error);
    return false;
}
