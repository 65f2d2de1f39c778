// The host's reading of what a server writes: any bytes, split into lines as the host splits
// them, each line split at its level, the report lines parsed. A plug-in can write into the
// server's output, so none of it may crash the host, and a report it accepts holds only what
// the server could have written; a module's report reads back the same when it is cut short.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "host/ServerOutput.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string output(reinterpret_cast<const char*>(data), size);
    std::vector<std::string> reportLines;
    for (size_t start = 0; start < output.size();) {
        size_t end = output.find('\n', start);
        if (end == std::string::npos) end = output.size();
        const CServerLine line = SplitServerLine(std::string_view(output).substr(start, end - start));
        if (line.level == ">") reportLines.push_back(line.text);
        start = end + 1;
    }
    std::string problem;
    const auto report = ParsePluginReport(reportLines, &problem);
    if (report) {
        // A report is never more than its lines: no field grows out of nothing.
        size_t texts = report->name.size() + report->vendor.size() + report->product.size() + report->version.size() +
                       report->error.size() + report->platform.size();
        for (const auto& sub : report->subPlugins) texts += sub.name.size();
        for (const auto& stage : report->stages) texts += stage.stage.size() + stage.result.size() + stage.details.size();
        texts += report->check.size() + report->facts.sampleRates.size() + report->facts.blockSizes.size();
        for (const auto& entry : report->entries)
            texts += entry.id.size() + entry.name.size() + entry.vendor.size() + entry.version.size() +
                     entry.category.size() + entry.subCategories.size() + entry.sdkVersion.size() +
                     entry.description.size() + entry.url.size() + entry.error.size() + entry.note.size();
        if (texts > 3 * size) __builtin_trap();
        // A count is a channel count or unknown, never a negative number of its own.
        for (const auto& entry : report->entries)
            if ((entry.numInputs < 0 && entry.numInputs != kUnknownChannels) ||
                (entry.numOutputs < 0 && entry.numOutputs != kUnknownChannels))
                __builtin_trap();
        // A check's facts are measures or unknown (-1), never a negative number of their own.
        const CCheckFacts& facts = report->facts;
        if (facts.parameters < -1 || facts.latency < -1 || !(facts.load >= -1) || !(facts.tailSeconds >= -1)) __builtin_trap();
        if (facts.hiddenParameters < -1 || !(facts.announcedTail >= -1) || facts.midiIn < -1 || facts.midiIn > 1 ||
            facts.midiOut < -1 || facts.midiOut > 1)
            __builtin_trap();
        // The lists of what passed are numbers (and "varying" sizes), never a text of the plug-in's.
        if (facts.sampleRates.find_first_not_of("0123456789|") != std::string::npos) __builtin_trap();
        std::string sizes = facts.blockSizes;
        for (size_t at; (at = sizes.find("varying")) != std::string::npos;) sizes.erase(at, 7);
        if (sizes.find_first_not_of("0123456789|") != std::string::npos) __builtin_trap();
        // What a crash or hang would leave of a whole check report reads back the same.
        if (!report->check.empty()) {
            const auto partial = ParsePartialModuleReport(reportLines);
            if (!partial || partial->stages.size() != report->stages.size()) __builtin_trap();
        }
        // What a crash or hang would leave of a whole module report reads back the same.
        if (report->format == "vst3" || report->format == "clap") {
            const auto partial = ParsePartialModuleReport(reportLines);
            if (!partial || partial->entries.size() != report->entries.size() || partial->notes != report->notes)
                __builtin_trap();
        }
    } else if (problem.empty()) {
        __builtin_trap();  // a refusal always says why
    }
    return 0;
}
