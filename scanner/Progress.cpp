#include "scanner/Progress.h"

#include <algorithm>

#include <cstdio>
#include <map>

#include "host/MachineRoute.h"
#include "host/Paths.h"
#include "host/SafeText.h"
#include "scanner/CheckRecords.h"

namespace {

std::string Clock(double seconds)
{
    const long whole = static_cast<long>(seconds + 0.5);
    char text[24];
    snprintf(text, sizeof(text), "%ld:%02ld", whole / 60, whole % 60);
    return text;
}

void Print(const std::string& text)
{
    fwrite(text.data(), 1, text.size(), stderr);
    fflush(stderr);
}

}  // namespace

CProgress::CProgress(size_t total, bool terminal) : total(total), terminal(terminal) {}

void CProgress::Started(const std::string& path)
{
    current = TerminalSafe(FileNameOf(path));
    if (terminal) Draw();
}

void CProgress::Draw()
{
    const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const int width = 24;
    const int filled = total ? static_cast<int>(width * done / total) : width;
    std::string line = "\r\x1b[K[" + std::string(filled, '#') + std::string(width - filled, '.') + "] " +
                       std::to_string(done) + "/" + std::to_string(total) + "  failures " + std::to_string(failures) +
                       "  " + Clock(elapsed) + " elapsed";
    if (done > 0 && done < total) line += ", ~" + Clock(elapsed / done * (total - done)) + " left";
    if (!current.empty() && done < total) line += "  " + current;
    Print(line);
}

void CProgress::Finished(const Json& record)
{
    ++done;
    bool failed = false;
    for (const auto& status : RecordStatuses(record)) failed |= status != "ok";
    if (failed) ++failures;
    if (terminal) {
        // Problems stay on the screen above the bar.
        if (failed) Print("\r\x1b[K" + record.value("status", "") + "  " + TerminalSafe(record.value("path", "")) + ": " +
                          TerminalSafe(record.value("error", "")) + "\n");
        Print("\r\x1b[K");
        PrintChecks(record);
        Draw();
        return;
    }
    char seconds[32];
    snprintf(seconds, sizeof(seconds), "%.2f s", record.value("scanSeconds", 0.0));
    std::string line = "[" + std::to_string(done) + "/" + std::to_string(total) + "] " + record.value("status", "") + "  " +
                       record.value("path", "") + " (" + seconds + ")";
    if (!record.value("error", "").empty()) line += ": " + record.value("error", "");
    if (!record.value("dump", "").empty()) line += "; dump " + record.value("dump", "");
    Print(TerminalSafe(line) + "\n");
    if (record.contains("subPlugins"))
        for (const auto& sub : record["subPlugins"])
            if (sub.value("status", "") != "ok")
                Print(TerminalSafe("    " + sub.value("status", "") + "  " + sub.value("request", "") + ": " +
                                   sub.value("error", "")) + "\n");
    PrintChecks(record);
}

// Each check that did not pass, or printed, under its file.
void CProgress::PrintChecks(const Json& record)
{
    for (const Json* plugin : RecordPlugins(record)) {
        const std::optional<CheckStatus> status = KeptCheckStatus(*plugin);
        if (!status) continue;
        const Json& check = (*plugin)["check"];
        const uint64_t printed = check.contains("printed") && check["printed"].is_number_unsigned() ? check["printed"].get<uint64_t>() : 0;
        if (*status == CheckStatus::kPassed && printed == 0) continue;
        const std::string who = plugin == &record ? "" : "  " + RecordText(*plugin, "request");
        const std::string said = printed > 0 ? "; it printed " + std::to_string(printed) + " bytes" : "";
        Print(TerminalSafe("    check " + RecordText(check, "verdict") + said + who) + "\n");
    }
}

void CProgress::Revised(const Json& record)
{
    ++failures;
    // A revised check says what it found on the lines under this one.
    const std::string error = RecordText(record, "error");
    const std::string line = "revised: " + RecordText(record, "status") + "  " + RecordText(record, "path") +
                             (error.empty() ? "" : ": " + error);
    Print((terminal ? "\r\x1b[K" : "") + TerminalSafe(line) + "\n");
    PrintChecks(record);
    if (terminal) Draw();
}

void CProgress::Unexplained(const std::string& machine, const std::vector<std::string>& suspects, const std::string& how,
                            const std::string& dump, const std::string& why)
{
    ++unexplained;
    std::string line = "a scan server";
    if (!machine.empty()) line += " (" + machine + ")";
    if (suspects.empty()) {
        line += " died";
    } else {
        line += " died after";
        for (size_t i = 0; i < suspects.size(); ++i) line += (i ? ", " : " ") + FileNameOf(suspects[i]);
    }
    line += ": culprit unknown";
    if (!how.empty()) line += "; " + how;
    if (!why.empty()) line += " (" + why + ")";
    if (!dump.empty()) line += "; dump " + dump;
    Print((terminal ? "\r\x1b[K" : "") + TerminalSafe(line) + "\n");
    if (terminal) Draw();
}

void CProgress::Unlistable(const std::string& folder, const std::string& why)
{
    ++unlistable;
    Print(TerminalSafe("cannot list the folder " + folder + ": " + why) + "\n");
}

void CProgress::Unchanged(size_t count, size_t knownBad)
{
    if (count > 0) Print(std::to_string(count) + " unchanged plug-in file(s) taken from the database\n");
    if (knownBad > 0)
        Print(std::to_string(knownBad) + " known bad plug-in file(s) skipped; --retry-failed scans them again\n");
}

void CProgress::Summary(const std::vector<Json>& records, size_t unchanged, size_t knownBad)
{
    if (terminal) Print("\r\x1b[K");
    // Files and the plug-ins in them are counted apart: a shell or a module is one file.
    std::map<std::string, size_t> fileStatuses, pluginStatuses;
    size_t plugins = 0, noMachine = 0;
    const std::vector<std::string> machines = ServerMachineNames();
    std::map<std::string, size_t> byMachine;
    std::map<std::string, size_t> formats;
    std::map<std::string, size_t> checks;
    for (const auto& record : records) {
        // Every plug-in, the one of a plain VST 2 file too; checks are counted over the same ones.
        for (const Json* plugin : RecordPlugins(record)) {
            ++plugins;
            ++pluginStatuses[RecordText(*plugin, "status")];
            if (const std::optional<CheckStatus> check = KeptCheckStatus(*plugin)) ++checks[CheckStatusName(*check)];
        }
        ++formats[RecordFormat(record)];
        const std::string arch = record.value("arch", "");
        if (std::find(machines.begin(), machines.end(), arch) != machines.end()) ++byMachine[arch];
        else ++noMachine;
        ++fileStatuses[record.value("status", "")];
    }
    auto statuses = [](std::map<std::string, size_t>& counts) {
        std::string text;
        for (const char* status : {"ok", "failed", "crashed", "timed out", "blocked"})
            text += (text.empty() ? "" : ", ") + std::to_string(counts[status]) + " " + status;
        return text;
    };
    const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    char line[256];
    snprintf(line, sizeof(line), "%zu files (%zu scanned, %zu unchanged, %zu skipped (known bad)): ", records.size(),
             records.size() - unchanged - knownBad, unchanged, knownBad);
    std::string summary = line + statuses(fileStatuses) + "; " + std::to_string(plugins) + " plug-ins in them";
    if (plugins > 0) summary += ": " + statuses(pluginStatuses);
    for (size_t i = 0; i < machines.size(); ++i)
        summary += (i == 0 ? "; " : ", ") + std::to_string(byMachine[machines[i]]) + " " + machines[i];
    if (noMachine > 0) summary += ", " + std::to_string(noMachine) + " with no machine";
    summary += " files";
    // Per format, in the order of the formats' age, before the time.
    std::string perFormat;
    for (const char* format : {"vst2", "vst3", "clap"})
        if (formats[format] > 0) perFormat += (perFormat.empty() ? "" : ", ") + std::to_string(formats[format]) + " " + format;
    if (!perFormat.empty()) summary += "; " + perFormat + " files";
    if (!checks.empty()) {
        std::string counts;
        for (const char* status : {"passed", "warnings", "failed", "crashed", "timed out", "blocked"})
            counts += (counts.empty() ? "" : ", ") + std::to_string(checks[status]) + " " + status;
        summary += "; checks: " + counts;
    }
    snprintf(line, sizeof(line), "; in %.1f s\n", elapsed);
    summary += line;
    // What the counts above leave out goes at the end, only when there is some.
    if (unexplained > 0 || unlistable > 0) {
        summary.pop_back();
        if (unexplained > 0) summary += "; " + std::to_string(unexplained) + " server death(s), culprit unknown";
        if (unlistable > 0) summary += "; " + std::to_string(unlistable) + " folder(s) could not be listed";
        summary += "\n";
    }
    Print(summary);
}
