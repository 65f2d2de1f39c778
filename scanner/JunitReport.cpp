#include "scanner/JunitReport.h"

#include "scanner/CheckRecords.h"

namespace {

// Text as XML 1.0 takes it: the five markup characters escaped, and the control characters it
// cannot hold at all (a plug-in's name or message may carry any) replaced.
std::string Xml(const std::string& text)
{
    std::string escaped;
    escaped.reserve(text.size());
    for (const char c : text) {
        switch (c) {
        case '&': escaped += "&amp;"; break;
        case '<': escaped += "&lt;"; break;
        case '>': escaped += "&gt;"; break;
        case '"': escaped += "&quot;"; break;
        case '\'': escaped += "&apos;"; break;
        default:
            if (static_cast<unsigned char>(c) < 0x20 && c != '\t' && c != '\n' && c != '\r') escaped += "\xEF\xBF\xBD";
            else escaped += c;
        }
    }
    return escaped;
}

struct CCase {
    std::string name;
    std::string failure, failureType;  // empty: no failure
    std::string skipped;               // set for a skipped case
    bool isSkipped = false;
    std::string output;
};

struct CSuite {
    std::string name;
    std::vector<CCase> cases;
};

std::string StageOutcome(const std::string& result, const std::string& details) { return result + (details.empty() ? "" : ": " + details); }

CSuite PluginSuite(const Json& record, const Json& plugin, bool strict)
{
    CSuite suite;
    const std::string path = RecordText(record, "path");
    const Json& report = plugin.contains("report") && plugin["report"].is_object() ? plugin["report"] : Json::object();
    const std::string name = RecordText(report, "name");
    const std::string id = RecordText(plugin, "id");
    suite.name = path + (id.empty() || &plugin == &record ? "" : ">" + id) + (name.empty() ? "" : " (" + name + ")");

    CCase scan{"scan"};
    const std::string status = RecordText(plugin, "status");
    if (status != "ok") {
        scan.failure = status + (RecordText(plugin, "error").empty() ? "" : ": " + RecordText(plugin, "error"));
        scan.failureType = status;
    }
    suite.cases.push_back(scan);
    if (!plugin.contains("check") || !plugin["check"].is_object()) return suite;

    const Json& check = plugin["check"];
    if (check.contains("stages") && check["stages"].is_array())
        for (const Json& stage : check["stages"]) {
            CCase entry{RecordText(stage, "stage")};
            const std::string result = RecordText(stage, "result"), details = RecordText(stage, "details");
            if (result == "failed" || (strict && result == "warning")) {
                entry.failure = StageOutcome(result, details);
                entry.failureType = result;
            } else if (result == "skipped") {
                entry.isSkipped = true;
                entry.skipped = details;
            } else if (!details.empty()) {
                entry.output = StageOutcome(result, details);
            }
            suite.cases.push_back(entry);
        }
    // A check that crashed, timed out or was blocked ended in a step no stage line reports.
    const std::string checkStatus = RecordText(check, "status");
    if (checkStatus == "crashed" || checkStatus == "timed out" || checkStatus == "blocked") {
        CCase ended{RecordText(check, "stage").empty() ? "check" : RecordText(check, "stage")};
        ended.failure = RecordText(check, "verdict");
        ended.failureType = checkStatus;
        if (!RecordText(check, "dump").empty()) ended.output = "dump: " + RecordText(check, "dump");
        suite.cases.push_back(ended);
    }
    if (!RecordText(check, "console").empty()) {
        CCase& last = suite.cases.back();
        last.output += (last.output.empty() ? "" : "\n") + std::string("printed: ") + RecordText(check, "console");
    }
    return suite;
}

}  // namespace

std::string FormatJunit(const std::vector<Json>& records, bool strict)
{
    std::vector<CSuite> suites;
    for (const Json& record : records) {
        const std::vector<const Json*> plugins = RecordPlugins(record);
        if (plugins.empty()) suites.push_back(PluginSuite(record, record, strict));
        for (const Json* plugin : plugins) suites.push_back(PluginSuite(record, *plugin, strict));
    }
    size_t tests = 0, failures = 0, skipped = 0;
    std::string body;
    for (const CSuite& suite : suites) {
        size_t suiteFailures = 0, suiteSkipped = 0;
        std::string cases;
        for (const CCase& entry : suite.cases) {
            cases += "    <testcase classname=\"" + Xml(suite.name) + "\" name=\"" + Xml(entry.name) + "\"";
            if (entry.failure.empty() && !entry.isSkipped && entry.output.empty()) {
                cases += "/>\n";
                continue;
            }
            cases += ">\n";
            if (!entry.failure.empty()) {
                ++suiteFailures;
                cases += "      <failure message=\"" + Xml(entry.failure) + "\" type=\"" + Xml(entry.failureType) + "\">" +
                         Xml(entry.failure) + "</failure>\n";
            }
            if (entry.isSkipped) {
                ++suiteSkipped;
                cases += "      <skipped message=\"" + Xml(entry.skipped) + "\"/>\n";
            }
            if (!entry.output.empty()) cases += "      <system-out>" + Xml(entry.output) + "</system-out>\n";
            cases += "    </testcase>\n";
        }
        body += "  <testsuite name=\"" + Xml(suite.name) + "\" tests=\"" + std::to_string(suite.cases.size()) + "\" failures=\"" +
                std::to_string(suiteFailures) + "\" errors=\"0\" skipped=\"" + std::to_string(suiteSkipped) + "\">\n" + cases +
                "  </testsuite>\n";
        tests += suite.cases.size();
        failures += suiteFailures;
        skipped += suiteSkipped;
    }
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<testsuites name=\"tessarine-scan\" tests=\"" + std::to_string(tests) +
           "\" failures=\"" + std::to_string(failures) + "\" errors=\"0\" skipped=\"" + std::to_string(skipped) + "\">\n" + body +
           "</testsuites>\n";
}
